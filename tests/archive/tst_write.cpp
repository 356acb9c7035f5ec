// Writing archives: the layout byte for byte, every refusal (nothing written then), edits that
// keep the untouched entries' bytes, and inputs that change while they are read.

#include "FatFolder.h"
#include "TestFiles.h"
#include "archive/ArchiveWriter.h"
#include "archive/FileIO.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <functional>
#include <map>
#include <stop_token>
#include <thread>
#include <utility>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#endif

using Entries = QList<QPair<QByteArray, QByteArray>>; // name, data
Q_DECLARE_METATYPE(Entries)
using testfiles::Files;
Q_DECLARE_METATYPE(Files)

namespace {

#ifdef Q_OS_WIN
constexpr bool OnWindows = true;
#else
constexpr bool OnWindows = false;
#endif

// "ENTRY: KIND DATA" for each refusal or failure (ENTRY -1: the archive): its kind and the data
// its message is made of.
QString Problem(const archive::WriteProblem& p) {
    // The names of WriteProblem::Kind, NameProblem and OpenError::Kind, in their order.
    static const QStringList Kinds = QString("None NameRefused SameName SameNameFolded "
                                             "OutsideArchive InputUnusable IsTheArchive TooLarge "
                                             "CannotOpen Exists LinkToNothing CannotBeEdited "
                                             "NameNotInCodePage NoEntryNamed ReplacedTwice "
                                             "ChangedBeforeReplace ChangedBeforeRemove "
                                             "ChangedBeforeRename ReadFailed WriteFailed "
                                             "ArchiveChanged InputChanged ArchiveReplaced "
                                             "ArchiveMoved")
                                         .split(' ');
    static const QStringList Names = QString("None Empty TooLong EndsDirectory PathSeparator "
                                             "ControlCharacter WindowsCharacter "
                                             "EndsInSpaceOrFullStop WindowsDevice")
                                         .split(' ');
    static const QStringList Opens =
        QString("None NotFound IsFolder NotRegularFile NotAFolder PermissionDenied Unreadable")
            .split(' ');
    using Kind = archive::WriteProblem::Kind;
    QString line = QString("%1: %2").arg(p.Entry).arg(Kinds[int(p.What)]);
    if (p.What == Kind::NameRefused)
        line += " " + Names[int(p.Name)];
    if (p.What == Kind::SameName || p.What == Kind::SameNameFolded)
        line += QString(" %1 %2%3")
                    .arg(p.Other)
                    .arg(p.OtherIsEntry ? "entry " : "", QString::fromStdString(p.Text));
    if (p.What == Kind::InputUnusable || p.What == Kind::CannotOpen)
        line += " " + Opens[int(p.Open.What)];
    return line;
}

// The new archive's steps to its name, as the file layer took them: "synced", "naming",
// "named". What a row does just before the archive takes its name (another program's step in
// that moment) goes in atNaming.
QStringList steps;
std::function<void()> atNaming;
void RecordStep(archive::io::Step step) {
    using Step = archive::io::Step;
    steps << (step == Step::Synced ? "synced" : step == Step::Naming ? "naming" : "named");
    if (step == Step::Naming && atNaming)
        std::exchange(atNaming, {})();
}
const QStringList SyncedThenNamed{"synced", "naming", "named"};

// Waits until a file's change time lies in the past of the clock that stamps file times, which
// on some systems moves in ticks: a write after that is sure to move it.
void PastChangeTimeOf(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    for (timespec now{};
         ::clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0 &&
         std::pair(now.tv_sec, now.tv_nsec) <= std::pair(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);)
        std::this_thread::yield();
#else
    Q_UNUSED(path);
#endif
}

// Writes the bytes over the start of a file, in place: its size stays.
void WriteInPlace(const QString& path, const QByteArray& bytes) {
    PastChangeTimeOf(path);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QCOMPARE(f.write(bytes), bytes.size());
}

// The ID of a process that has ended: this program's, asked only to list its tests.
qint64 DeadProcess() {
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {"-functions"});
    const qint64 pid = p.waitForStarted() ? p.processId() : 0;
    p.waitForFinished();
    return pid;
}

// The test archive after another program wrote to it in place: the same size.
QByteArray Changed() {
    return testfiles::Archive({{"OLD", "new"}});
}

QStringList Problems(const archive::WriteReport& report) {
    QStringList lines;
    for (const auto& p : report.Refused)
        lines << Problem(p);
    if (report.Failed)
        lines << Problem(report.Failed);
    return lines;
}

} // namespace

class TestWrite : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QString archivePath() const { return root.filePath("a.dat"); }

    // The entries' data as files in/0, in/1 ...; the entries name them.
    std::vector<archive::WriteEntry> FromFiles(const Entries& entries) {
        QDir(root.filePath("in")).removeRecursively();
        QDir().mkpath(root.filePath("in"));
        std::vector<archive::WriteEntry> list;
        for (const auto& [name, data] : entries) {
            const QString file = root.filePath("in/" + QString::number(list.size()));
            testfiles::Write(file, data);
            list.push_back({name.toStdString(), testfiles::NativePath(file)});
        }
        return list;
    }

private slots:
    void initTestCase() { archive::io::ObserveSteps(RecordStep); }
    void init() {
        steps.clear();
        QFile::remove(archivePath());
        QFile::remove(root.filePath("old.dat"));
        QFile::remove(root.filePath("moved.dat"));
    }

    // A FAT folder through FUSE has neither a rename that refuses to replace nor hard links, nor
    // an exchange of names, and it gives each spelling of a name an identity of its own: a new
    // archive is still written there, a name taken is refused, and with leave to replace it, it is
    // replaced; an edit replaces the archive; the archive by another spelling is the archive
    // itself. What a killed run left there goes; nothing else is left in the folder.
    void onFat_data() {
        QTest::addColumn<QString>("how");   // "new", "create" (the name taken), "force", "edit"
        QTest::addColumn<QString>("input"); // the entry's file in the FAT folder; "": in/0
        QTest::addColumn<QStringList>("problems");
        const auto row = [](const char* name, const char* how, const char* input,
                            const QStringList& problems) {
            QTest::newRow(name) << QString(how) << QString(input) << problems;
        };
        row("a new archive", "new", "", {});
        row("a name taken", "create", "", {"-1: Exists"});
        row("a name taken, replaced", "force", "", {});
        row("an edit", "edit", "", {});
        row("replaced by itself in other case", "force", "new.dat", {"0: IsTheArchive"});
        row("edited with itself in other case", "edit", "new.dat", {"1: IsTheArchive"});
    }
    void onFat() {
        QFETCH(QString, how);
        QFETCH(QString, input);
        QFETCH(QStringList, problems);
        const testfiles::FatFolder fat(root.path());
        QUILLMARROW_SKIP_UNLESS_USABLE(fat);
        const QString path = fat.Path() + "/NEW.DAT";
        const QByteArray old = testfiles::Archive({{"OLD", "old"}});
        if (how != "new")
            testfiles::Write(path, old);
        QStringList left{"NEW.DAT"};
        left << QString(".quillmarrow-%1-0.part").arg(DeadProcess());
        testfiles::Write(fat.Path() + "/" + left.last(), "left by a killed run");
        std::vector<archive::WriteEntry> entries = FromFiles({{"A", "a"}});
        if (!input.isEmpty())
            entries[0].File = testfiles::NativePath(fat.Path() + "/" + input);
        archive::Archive edited;
        archive::WriteOptions options;
        options.ReplaceExisting = how == "force";
        if (how == "edit") {
            edited = archive::Archive(testfiles::NativePath(path));
            options.Old = &edited;
            entries.insert(entries.begin(), {"OLD", {}, 40, 3});
        }
        QCOMPARE(Problems(archive::WriteArchive(testfiles::NativePath(path), entries, options)),
                 problems);
        const Entries written =
            how == "edit" ? Entries{{"OLD", "old"}, {"A", "a"}} : Entries{{"A", "a"}};
        QCOMPARE(testfiles::Read(path), problems.isEmpty() ? testfiles::Archive(written) : old);
        if (problems.isEmpty())
            left = QStringList{"NEW.DAT"};
        left.sort();
        QCOMPARE(QDir(fat.Path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), left);
    }

    // The hidden files of killed runs in the archive's folder are removed before a new archive
    // is written there, when their process is gone and no process holds them locked; nothing
    // else is.
    void leftovers_data() {
        QTest::addColumn<QString>("name"); // %1: a process that has ended
        QTest::addColumn<bool>("locked");  // by another open file
        QTest::addColumn<bool>("removed");
        QTest::newRow("a hidden file of an ended run") << ".quillmarrow-%1-0.part" << false << true;
        QTest::newRow("the short name of an ended run") << ".qm%1-12" << false << true;
        QTest::newRow("of a process that lives") << ".quillmarrow-%L-0.part" << false << false;
        QTest::newRow("locked by a process") << ".quillmarrow-%1-0.part" << true << false;
        QTest::newRow("not of this form") << ".quillmarrow-%1-x.part" << false << false;
    }
    void leftovers() {
        QFETCH(QString, name);
        QFETCH(bool, locked);
        QFETCH(bool, removed);
        if (name.startsWith(".qm") && OnWindows)
            QSKIP("every file has a name on Windows: no short names");
        // A process that lives: init, or on Windows this one.
        name.replace("%L", OnWindows ? QString::number(QCoreApplication::applicationPid()) : "1");
        const QString path = root.filePath(name.replace("%1", QString::number(DeadProcess())));
        testfiles::Write(path, "left");
        // Held open (on Windows that is what a run does), and locked.
        QFile holder(path);
        QVERIFY(!locked || holder.open(QIODevice::ReadOnly));
#ifdef Q_OS_UNIX
        QVERIFY(!locked || ::flock(holder.handle(), LOCK_EX | LOCK_NB) == 0);
#endif
        QVERIFY(archive::WriteArchive(testfiles::NativePath(archivePath()), FromFiles({{"A", "a"}}))
                    .Written());
        QCOMPARE(QFileInfo::exists(path), !removed);
        holder.close();
        QFile::remove(path);
    }

    void names_data() {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QStringList>("refused");
        QTest::newRow("two entries")
            << Entries{{"A.TXT", "hello"}, {"b", "world!"}} << QStringList{};
        QTest::newRow("no entries: the NUL record alone") << Entries{} << QStringList{};
        QTest::newRow("empty data, twelve bytes of name")
            << Entries{{"ABCDEFGHIJKL", ""}, {"x", "1"}} << QStringList{};
        const auto refused = [](const char* row, const QByteArray& name, const char* why) {
            QTest::newRow(row) << Entries{{"OK", "1"}, {name, "2"}}
                               << QStringList{"1: " + QString(why)};
        };
        refused("empty", "", "NameRefused Empty");
        refused("13 bytes", "ABCDEFGHIJKLM", "NameRefused TooLong");
        refused("first byte NUL", QByteArray("\0AB", 3), "NameRefused EndsDirectory");
        refused("first byte full stop", ".A", "NameRefused EndsDirectory");
        refused("first byte slash", "/A", "NameRefused EndsDirectory");
        refused("first byte digit", "1A", "NameRefused EndsDirectory");
        refused("a slash", "a/b", "NameRefused PathSeparator");
        refused("a backslash", "a\\b", "NameRefused PathSeparator");
        refused("a control byte", "a\x01", "NameRefused ControlCharacter");
        refused("DEL", "a\x7f", "NameRefused ControlCharacter");
        refused("a colon", "a:b", "NameRefused WindowsCharacter");
        refused("ending in a full stop", "ab.", "NameRefused EndsInSpaceOrFullStop");
        refused("ending in a space", "ab ", "NameRefused EndsInSpaceOrFullStop");
        refused("a device name with an extension", "com1.txt", "NameRefused WindowsDevice");
        refused("a C1 control in UTF-8 (U+009B)", "b\xc2\x9b", "NameRefused ControlCharacter");
        refused("a C1 control in UTF-8 (U+0085)", "a\xc2\x85", "NameRefused ControlCharacter");
        refused("the same name twice", "OK", "SameName 0 OK");
        refused("the same name in other case", "ok", "SameNameFolded 0 OK");
        QTest::newRow("each refusal reported")
            << Entries{{"", "1"}, {"a/b", "2"}, {"x", "3"}, {"X", "4"}}
            << QStringList{"0: NameRefused Empty", "1: NameRefused PathSeparator",
                           "3: SameNameFolded 2 x"};
        QTest::newRow("a no-break space is no control") << Entries{{"a\xc2\xa0"
                                                                    "b",
                                                                    "1"}}
                                                        << QStringList{};
    }
    void names() {
        QFETCH(Entries, entries);
        QFETCH(QStringList, refused);
        const auto list = FromFiles(entries);
        const archive::WriteReport report =
            archive::WriteArchive(testfiles::NativePath(archivePath()), list);
        QCOMPARE(Problems(report), refused);
        QCOMPARE(report.Written(), refused.isEmpty());
        // On the disk before it is named, or not written at all.
        QCOMPARE(steps, refused.isEmpty() ? SyncedThenNamed : QStringList{});
        QCOMPARE(testfiles::Read(archivePath()),
                 refused.isEmpty() ? testfiles::Archive(entries) : QByteArray());
        // Nothing but the inputs and the archive is left in the folder.
        QCOMPARE(testfiles::Contents(root.path()),
                 refused.isEmpty() ? QStringList({"a.dat", "in"}) : QStringList{"in"});
    }

    // Inputs and archives that are refused before anything is written.
    void inputs_data() {
        QTest::addColumn<QString>("file");    // the entry's data; "@" stands for the test folder
        QTest::addColumn<QString>("archive"); // where the archive goes
        QTest::addColumn<bool>("replace");    // ReplaceExisting
        QTest::addColumn<QStringList>("refused");
        QTest::newRow("a missing file")
            << "@/none"
            << "@/a.dat" << false << QStringList{"0: InputUnusable NotFound"};
        QTest::newRow("a folder") << "@/in"
                                  << "@/a.dat" << false << QStringList{"0: InputUnusable IsFolder"};
        QTest::newRow("the archive itself, by another name (a hard link)")
            << "@/link.dat"
            << "@/old.dat" << true << QStringList{"0: IsTheArchive"};
        QTest::newRow("an archive that exists, replaced") << "@/in/0"
                                                          << "@/old.dat" << true << QStringList{};
        QTest::newRow("an archive in a missing folder")
            << "@/in/0"
            << "@/none/a.dat" << false << QStringList{"-1: CannotOpen NotFound"};
        QTest::newRow("an archive that is a folder")
            << "@/in/0"
            << "@/in" << true << QStringList{"-1: CannotOpen IsFolder"};
        // 40 bytes of directory and a sparse file of INT32_MAX - 40 bytes: the largest archive.
        QTest::newRow("at 2 GiB - 1") << "@/sparse"
                                      << "@/a.dat" << false << QStringList{};
    }
    void inputs() {
        QFETCH(QString, file);
        QFETCH(QString, archive);
        QFETCH(bool, replace);
        QFETCH(QStringList, refused);
        file.replace("@", root.path());
        archive.replace("@", root.path());
        FromFiles({{"X", "x"}});
        const QByteArray old = testfiles::Archive({{"OLD", "old"}});
        testfiles::Write(root.filePath("old.dat"), old);
        QFile::remove(root.filePath("link.dat"));
        std::error_code ec;
        if (file.endsWith("link.dat"))
            std::filesystem::create_hard_link(testfiles::NativePath(root.filePath("old.dat")),
                                              testfiles::NativePath(file), ec);
        if (ec)
            QSKIP("no hard links here");
        if (file.contains("sparse")) {
            testfiles::Write(file, {});
            QVERIFY(QFile::resize(file, INT32_MAX - 40));
        }
        archive::WriteOptions options;
        options.ReplaceExisting = replace;
        options.CheckOnly = file.contains("sparse"); // writing 2 GiB takes too long for a test
        const std::vector<archive::WriteEntry> entries{{"X", testfiles::NativePath(file)}};
        const archive::WriteReport report =
            archive::WriteArchive(testfiles::NativePath(archive), entries, options);
        QCOMPARE(Problems(report), refused);
        if (file.contains("sparse"))
            QFile::remove(file);
        QCOMPARE(testfiles::Read(root.filePath("old.dat")),
                 replace && refused.isEmpty() ? testfiles::Archive({{"X", "x"}}) : old);
    }

    // Editing keeps the old archive's bytes and changes only what the edit needs; compacted,
    // the archive has the layout above. An edit is a list: NAME keeps the old entry, NAME=DATA
    // replaces its data by a file's, NAME>NEW renames it, +NAME=DATA adds a file.
    void edit_data() {
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("compact");
        QTest::addColumn<QByteArray>("expected");
        using testfiles::Record;
        const QByteArray end = Record("", 0, 0);
        // Data in another order than the records, a gap and data shared by two entries.
        const QByteArray odd = Record("A", 100, 2) + Record("B", 82, 3) + Record("C", 100, 2) +
                               end + "..bbb...............aa";
        const QByteArray plain = testfiles::Archive({{"A", "1"}, {"B", "22"}, {"C", "333"}});
        const auto row = [](const char* name, const QByteArray& old, const char* edit, bool compact,
                            const QByteArray& expected) {
            QTest::newRow(name) << old << QString(edit) << compact << expected;
        };
        row("an entry dropped: its data stays", odd, "A C", false,
            Record("A", 100, 2) + Record("C", 100, 2) + end + odd.mid(60));
        row("an entry dropped, compacted", odd, "A C", true,
            testfiles::Archive({{"A", "aa"}, {"C", "aa"}}));
        row("nothing changed", odd, "A B C", false, odd);
        row("compacted in directory order", odd, "A B C", true,
            testfiles::Archive({{"A", "aa"}, {"B", "bbb"}, {"C", "aa"}}));
        row("a new entry for a dropped one, behind the end", plain, "A +NEW=new C", false,
            Record("A", 80, 1) + Record("NEW", 86, 3) + Record("C", 83, 3) + end + plain.mid(80) +
                "new");
        row("the directory grown over data: that entry moves behind the end", odd, "A B C +N=n",
            false,
            Record("A", 100, 2) + Record("B", 102, 3) + Record("C", 100, 2) + Record("N", 105, 1) +
                end + "aabbbn");
        row("the directory grown over all the data", plain, "A B C +N=n", false,
            testfiles::Archive({{"A", "1"}, {"B", "22"}, {"C", "333"}, {"N", "n"}}));
        row("replaced by as many bytes: in its slot", plain, "A B=xy C", false,
            testfiles::Archive({{"A", "1"}, {"B", "xy"}, {"C", "333"}}));
        row("replaced by fewer: the rest of the slot kept", plain, "A B C=x", false,
            Record("A", 80, 1) + Record("B", 81, 2) + Record("C", 83, 1) + end + "122x33");
        row("replaced by more: behind the end", plain, "A B=wxyz C", false,
            Record("A", 80, 1) + Record("B", 86, 4) + Record("C", 83, 3) + end + plain.mid(80) +
                "wxyz");
        row("replaced where another entry shares the slot: behind the end", odd, "A=zz B C", false,
            Record("A", 102, 2) + Record("B", 82, 3) + Record("C", 100, 2) + end + odd.mid(80) +
                "zz");
        row("renamed: the record alone", plain, "A B>Z C", false,
            testfiles::Archive({{"A", "1"}, {"Z", "22"}, {"C", "333"}}));
        row("every entry dropped", plain, "", false, end + plain.mid(20));
    }
    void edit() {
        QFETCH(QByteArray, old);
        QFETCH(QString, edit);
        QFETCH(bool, compact);
        QFETCH(QByteArray, expected);
        testfiles::Write(archivePath(), old);
        archive::Archive archive(testfiles::NativePath(archivePath()));
        std::map<std::string, archive::ArchiveEntry> records;
        std::error_code ec;
        archive.WalkDirectory(
            [&](int, const archive::ArchiveEntry& e) {
                records[e.Name] = e;
                return true;
            },
            ec);
        Entries files;
        for (const QString& step : edit.split(' ', Qt::SkipEmptyParts))
            if (step.contains('='))
                files.append({step.section('=', 1).toLatin1(), step.section('=', 1).toLatin1()});
        const std::vector<archive::WriteEntry> inputs = FromFiles(files);
        std::vector<archive::WriteEntry> entries;
        std::size_t file = 0;
        for (QString step : edit.split(' ', Qt::SkipEmptyParts)) {
            const bool added = step.startsWith('+');
            const std::string name =
                step.remove('+').section(QRegularExpression("[=>]"), 0, 0).toStdString();
            archive::WriteEntry& e = entries.emplace_back();
            if (!added)
                e = {name, {}, records[name].Offset, records[name].Size};
            e.Name = step.contains('>') ? step.section('>', 1).toStdString() : name;
            if (step.contains('='))
                e.File = inputs[file++].File;
        }
        archive::WriteOptions options;
        options.Old = &archive;
        options.Compact = compact;
        const archive::WriteReport report =
            archive::WriteArchive(testfiles::NativePath(archivePath()), entries, options);
        QVERIFY2(report.Written(), qPrintable(Problems(report).join('\n')));
        QCOMPARE(testfiles::Read(archivePath()), expected);
        QCOMPARE(steps, SyncedThenNamed);
    }

    // Something happens while the archive is written (after its first entry), or just before it
    // takes the archive's name: the run fails or stops, the archive keeps what it holds (the
    // other program's change, not this run's), nothing new appears under its name, and nothing
    // else is left.
    void interrupted_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("failure"); // "" for a stop
        QTest::addColumn<Files>("files");     // the test folder afterwards, besides in/
        const QByteArray old = testfiles::Archive({{"OLD", "old"}});
        const Files kept{{"a.dat", old}};
        const auto row = [](const char* name, const char* what, const char* failure,
                            const Files& files) {
            QTest::newRow(name) << QString(what) << QString(failure) << files;
        };
        const char* changed = "1: InputChanged";
        row("an input grows", "grow", changed, kept);
        row("an input shrinks", "shrink", changed, kept);
        row("a large input shrinks", "shrink large", changed, kept);
        row("a large input is written in place", "write input large", changed, kept);
        row("the archive is written in place", "write archive", "-1: ArchiveChanged",
            {{"a.dat", Changed()}});
        row("the archive is replaced", "replace archive", "-1: ArchiveReplaced", kept);
        row("the archive is moved away", "move archive", "-1: ArchiveMoved", {{"moved.dat", old}});
        row("the archive is removed", "remove archive", "-1: ArchiveMoved", {});
        row("stopped", "stop", "", kept);
        // In the moment between the last look and the rename, where only an exchange of the
        // names leaves nothing to chance.
        row("another file moved over the archive as it takes its name",
            "theirs as it takes its name", "-1: ArchiveReplaced", {{"a.dat", "theirs"}});
        row("the archive removed as it takes its name", "remove archive as it takes its name",
            "-1: ArchiveMoved", {});
        row("the archive written in place as it takes its name",
            "write archive as it takes its name", "-1: ArchiveChanged", {{"a.dat", Changed()}});
    }
    void interrupted() {
        QFETCH(QString, what);
        QFETCH(QString, failure);
        QFETCH(Files, files);
        const bool atNamingTime = what.endsWith("as it takes its name");
#ifdef _WIN32
        if (what.endsWith("archive") && !what.startsWith("write") && !atNamingTime)
            QSKIP("Windows keeps an open file's name until it is closed: nothing can replace it");
#endif
        const QByteArray old = testfiles::Archive({{"OLD", "old"}});
        testfiles::Write(archivePath(), old);
        archive::Archive archive(testfiles::NativePath(archivePath()));
        const bool large = what.contains("large");
        std::vector<archive::WriteEntry> entries =
            FromFiles({{"A", "a"}, {"B", QByteArray(large ? 300000 : 10, 'b')}});
        entries.push_back({"OLD", {}, 40, 3});
        std::stop_source stop;
        const QString input = root.filePath("in/1");
        auto act = [&, done = false]() mutable {
            if (std::exchange(done, true))
                return;
            if (what == "grow")
                testfiles::Write(input, QByteArray(11, 'b'));
            else if (what.startsWith("shrink"))
                QFile::resize(input, 5);
            else if (what.startsWith("write input"))
                WriteInPlace(input, QByteArray(300000, 'c'));
            else if (what.startsWith("write archive"))
                WriteInPlace(archivePath(), Changed());
            else if (what == "replace archive")
                QFile::remove(archivePath()), testfiles::Write(archivePath(), old);
            else if (what.startsWith("move archive"))
                QFile::rename(archivePath(), root.filePath("moved.dat"));
            else if (what.startsWith("remove archive"))
                QFile::remove(archivePath());
            else if (what.startsWith("theirs"))
                testfiles::Write(root.filePath("theirs.dat"), "theirs"),
                    std::filesystem::rename(testfiles::NativePath(root.filePath("theirs.dat")),
                                            testfiles::NativePath(archivePath()));
            else
                stop.request_stop();
        };
        archive::WriteOptions options;
        options.Old = &archive;
        options.Stop = stop.get_token();
        if (atNamingTime)
            atNaming = act;
        else
            options.OnProgress = [&](const archive::WriteProgress& p) {
                if (p.EntriesDone == 1)
                    act();
            };
        const archive::WriteReport report =
            archive::WriteArchive(testfiles::NativePath(archivePath()), entries, options);
        atNaming = {};
        QCOMPARE(Problems(report), failure.isEmpty() ? QStringList{} : QStringList{failure});
        QCOMPARE(report.Cancelled, failure.isEmpty());
        files["in"] = "";
        QCOMPARE(testfiles::FilesIn(root.path()), files);
    }
};

QTEST_GUILESS_MAIN(TestWrite)
#include "tst_write.moc"
