// Writing archives: the layout byte for byte, every refusal (nothing written then), edits that
// keep the untouched entries' bytes, and inputs that change while they are read.

#include "FatFolder.h"
#include "TestFiles.h"
#include "archive/ArchiveWriter.h"
#include "archive/FileIO.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <stop_token>

using Entries = QList<QPair<QByteArray, QByteArray>>; // name, data
Q_DECLARE_METATYPE(Entries)

namespace {

// "ENTRY: KIND DATA" for each refusal or failure (ENTRY -1: the archive): its kind and the data
// its message is made of.
QString Problem(const archive::WriteProblem& p) {
    // The names of WriteProblem::Kind, NameProblem and OpenError::Kind, in their order.
    static const QStringList Kinds = QString("None NameRefused SameName SameNameFolded "
                                             "OutsideArchive InputUnusable IsTheArchive TooLarge "
                                             "CannotOpen Exists CannotBeEdited NameNotInCodePage "
                                             "NoEntryNamed ReplacedTwice ChangedBeforeReplace "
                                             "ChangedBeforeRemove ChangedBeforeRename ReadFailed "
                                             "WriteFailed ArchiveChanged InputChanged "
                                             "ArchiveReplaced")
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
        line += " " + QString::number(p.Other);
    if (p.What == Kind::InputUnusable || p.What == Kind::CannotOpen)
        line += " " + Opens[int(p.Open.What)];
    return line;
}

// The new archive's steps to its name, as the file layer took them: "synced", "named".
QStringList steps;
void RecordStep(archive::io::Step step) {
    steps << (step == archive::io::Step::Synced ? "synced" : "named");
}
const QStringList SyncedThenNamed{"synced", "named"};

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
    }

    // A FAT folder through FUSE has neither a rename that refuses to replace nor hard links:
    // a new archive is still written there, a name taken is refused, and with leave to replace
    // it, it is replaced; nothing else is left in the folder.
    void onFat_data() {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<bool>("replaceExisting");
        QTest::addColumn<QStringList>("problems");
        QTest::newRow("a new archive") << false << false << QStringList{};
        QTest::newRow("a name taken") << true << false << QStringList{"-1: Exists"};
        QTest::newRow("a name taken, replaced") << true << true << QStringList{};
    }
    void onFat() {
        QFETCH(bool, existing);
        QFETCH(bool, replaceExisting);
        QFETCH(QStringList, problems);
        const testfiles::FatFolder fat(root.path());
        QUILLMARROW_SKIP_UNLESS_USABLE(fat);
        const QString path = fat.Path() + "/NEW.DAT";
        if (existing)
            testfiles::Write(path, "old");
        archive::WriteOptions options;
        options.ReplaceExisting = replaceExisting;
        QCOMPARE(Problems(archive::WriteArchive(testfiles::NativePath(path),
                                                FromFiles({{"A", "a"}}), options)),
                 problems);
        QCOMPARE(testfiles::Read(path),
                 problems.isEmpty() ? testfiles::Archive({{"A", "a"}}) : QByteArray("old"));
        QCOMPARE(QDir(fat.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{"NEW.DAT"});
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
        refused("the same name twice", "OK", "SameName 0");
        refused("the same name in other case", "ok", "SameNameFolded 0");
        QTest::newRow("each refusal reported")
            << Entries{{"", "1"}, {"a/b", "2"}, {"x", "3"}, {"X", "4"}}
            << QStringList{"0: NameRefused Empty", "1: NameRefused PathSeparator",
                           "3: SameNameFolded 2"};
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

    // Editing: kept entries are copied from the old archive, whatever its layout, and the new
    // archive has the layout above with their bytes.
    void edit_data() {
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<QList<int>>("keep"); // the old entries kept, in the new order
        QTest::addColumn<Entries>("expected");
        using testfiles::Record;
        // Data in another order than the records, a gap and data shared by two entries.
        const QByteArray odd = Record("A", 100, 2) + Record("B", 82, 3) + Record("C", 100, 2) +
                               Record("", 0, 0) + "..bbb...............aa";
        QTest::newRow("an entry dropped")
            << odd << QList<int>{0, 2} << Entries{{"A", "aa"}, {"C", "aa"}};
        const QByteArray plain = testfiles::Archive({{"A", "1"}, {"B", "22"}, {"C", "333"}});
        QTest::newRow("one run of entries copied whole")
            << plain << QList<int>{0, 1, 2} << Entries{{"A", "1"}, {"B", "22"}, {"C", "333"}};
        QTest::newRow("with a new entry in the middle")
            << plain << QList<int>{0, -1, 2} << Entries{{"A", "1"}, {"NEW", "new"}, {"C", "333"}};
    }
    void edit() {
        QFETCH(QByteArray, old);
        QFETCH(QList<int>, keep);
        QFETCH(Entries, expected);
        testfiles::Write(archivePath(), old);
        archive::Archive archive(testfiles::NativePath(archivePath()));
        std::vector<archive::ArchiveEntry> records;
        std::error_code ec;
        archive.WalkDirectory(
            [&](int, const archive::ArchiveEntry& e) {
                records.push_back(e);
                return true;
            },
            ec);
        std::vector<archive::WriteEntry> entries = FromFiles({{"NEW", "new"}});
        const archive::WriteEntry added = entries.front();
        entries.clear();
        for (const int k : keep)
            entries.push_back(k < 0 ? added
                                    : archive::WriteEntry{
                                          records[k].Name, {}, records[k].Offset, records[k].Size});
        archive::WriteOptions options;
        options.Old = &archive;
        const archive::WriteReport report =
            archive::WriteArchive(testfiles::NativePath(archivePath()), entries, options);
        QVERIFY2(report.Written(), qPrintable(Problems(report).join('\n')));
        QCOMPARE(testfiles::Read(archivePath()), testfiles::Archive(expected));
        QCOMPARE(steps, SyncedThenNamed);
    }

    // Something happens while the archive is written (after its first entry): the run fails or
    // stops, and the old archive stays as it was with nothing else left.
    void interrupted_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("failure"); // "" for a stop
        const QString changed = "1: InputChanged";
        QTest::newRow("an input grows") << "grow" << changed;
        QTest::newRow("an input shrinks") << "shrink" << changed;
        QTest::newRow("a large input shrinks") << "shrink large" << changed;
        QTest::newRow("the archive is replaced") << "replace archive"
                                                 << "-1: ArchiveReplaced";
        QTest::newRow("stopped") << "stop" << QString();
    }
    void interrupted() {
        QFETCH(QString, what);
        QFETCH(QString, failure);
#ifdef _WIN32
        if (what == "replace archive")
            QSKIP("Windows keeps an open file's name until it is closed: nothing can replace it");
#endif
        const QByteArray old = testfiles::Archive({{"OLD", "old"}});
        testfiles::Write(archivePath(), old);
        archive::Archive archive(testfiles::NativePath(archivePath()));
        std::vector<archive::WriteEntry> entries =
            FromFiles({{"A", "a"}, {"B", QByteArray(what.contains("large") ? 300000 : 10, 'b')}});
        entries.push_back({"OLD", {}, 40, 3});
        std::stop_source stop;
        archive::WriteOptions options;
        options.Old = &archive;
        options.Stop = stop.get_token();
        options.OnProgress = [&](const archive::WriteProgress& p) {
            if (p.EntriesDone != 1)
                return;
            const QString input = root.filePath("in/1");
            if (what == "grow")
                testfiles::Write(input, QByteArray(11, 'b'));
            else if (what.startsWith("shrink"))
                QFile::resize(input, 5);
            else if (what == "stop")
                stop.request_stop();
            else
                QFile::remove(archivePath()), testfiles::Write(archivePath(), old);
        };
        const archive::WriteReport report =
            archive::WriteArchive(testfiles::NativePath(archivePath()), entries, options);
        QCOMPARE(Problems(report), failure.isEmpty() ? QStringList{} : QStringList{failure});
        QCOMPARE(report.Cancelled, failure.isEmpty());
        QCOMPARE(testfiles::Read(archivePath()), old);
        QCOMPARE(testfiles::Contents(root.path()), (QStringList{"a.dat", "in"}));
    }
};

QTEST_GUILESS_MAIN(TestWrite)
#include "tst_write.moc"
