// Extracting selected entries: which files appear, what they hold, and what is reported.

#include "FatFolder.h"
#include "TestFiles.h"
#include "archive/Directory.h"
#include "archive/EntryData.h"
#include "archive/Extract.h"
#include "archive/FileIO.h"
#include "archive/Names.h"

#include <QDir>
#include <QFile>
#include <QOperatingSystemVersion>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <stop_token>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using testfiles::Record;
using Kind = archive::EntryResult::Kind;
using OpenKind = archive::OpenError::Kind;
using testfiles::Files;
using Outcomes = QList<Kind>;
using Results = QList<QPair<int, Kind>>; // position, kind

Q_DECLARE_METATYPE(Files)

namespace {

// Three entries A, B, C laid out after a directory of three records and a terminator.
QByteArray ThreeEntries() {
    return testfiles::Archive({{"A.TXT", "alpha"}, {"B.TXT", "bravo!"}, {"C.TXT", "charlie"}});
}

} // namespace

class TestExtract : public QObject {
    Q_OBJECT

private:
    QTemporaryDir root;
    QString archivePath;
    QString out;

    archive::ExtractReport extract(const QList<int>& selected, int listCount,
                                   const archive::ExtractOptions& options = {}) {
        const std::vector<int> positions(selected.begin(), selected.end());
        return archive::ExtractEntries(testfiles::NativePath(archivePath),
                                       testfiles::NativePath(out), positions, listCount, options);
    }
    Files outputFiles() const { return testfiles::FilesIn(out); }

private slots:
    void init() {
        archivePath = root.filePath("archive.dat");
        QDir(archivePath).removeRecursively(); // a test may have left a folder in its place
        QFile::remove(archivePath);
        out = root.filePath("out");
        QDir(out).removeRecursively();
        QVERIFY(QDir().mkpath(out));
    }

    void extract_data() {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("listCount");
        QTest::addColumn<Outcomes>("outcomes"); // one per selected position below listCount
        QTest::addColumn<Files>("files");       // everything the output folder holds afterwards
        const Kind W = Kind::Written, C = Kind::CutShort, U = Kind::UnsafeName,
                   R = Kind::ReplacedByLater, G = Kind::NegativeRange, S = Kind::RecordCutShort,
                   D = Kind::NotInDirectory;

        QTest::newRow("entries 0 and 2 of three")
            << ThreeEntries() << QList<int>{0, 2} << 3 << Outcomes{W, W}
            << Files{{"A.TXT", "alpha"}, {"C.TXT", "charlie"}};
        QTest::newRow("every entry")
            << ThreeEntries() << QList<int>{0, 1, 2} << 3 << Outcomes{W, W, W}
            << Files{{"A.TXT", "alpha"}, {"B.TXT", "bravo!"}, {"C.TXT", "charlie"}};
        QTest::newRow("nothing selected")
            << ThreeEntries() << QList<int>{} << 3 << Outcomes{} << Files{};
        QTest::newRow("positions at or past the list count are not looked at")
            << ThreeEntries() << QList<int>{1, 3, 7} << 2 << Outcomes{W}
            << Files{{"B.TXT", "bravo!"}};
        QTest::newRow("an entry of size 0 gives an empty file")
            << testfiles::Archive({{"EMPTY", ""}}) << QList<int>{0} << 1 << Outcomes{W}
            << Files{{"EMPTY", ""}};
        QTest::newRow("a 12-character name is used whole")
            << testfiles::Archive({{"TWELVE.CHARS", "x"}}) << QList<int>{0} << 1 << Outcomes{W}
            << Files{{"TWELVE.CHARS", "x"}};
        QTest::newRow("two records with one name: the later one wins, the earlier is reported")
            << testfiles::Archive({{"SAME", "first"}, {"SAME", "second"}}) << QList<int>{0, 1} << 2
            << Outcomes{R, W} << Files{{"SAME", "second"}};
        QTest::newRow("one name three times: each earlier one is reported")
            << testfiles::Archive({{"SAME", "1"}, {"SAME", "22"}, {"OTHER", "o"}, {"SAME", "333"}})
            << QList<int>{0, 1, 2, 3} << 4 << Outcomes{R, R, W, W}
            << Files{{"SAME", "333"}, {"OTHER", "o"}};

        // Names that would leave the folder or that no file can have.
        QTest::newRow("slash in a name")
            << testfiles::Archive({{"a/../../x", "bad"}, {"OK", "ok"}}) << QList<int>{0, 1} << 2
            << Outcomes{U, W} << Files{{"OK", "ok"}};
        QTest::newRow("backslash in a name") << testfiles::Archive({{"a\\b", "bad"}})
                                             << QList<int>{0} << 1 << Outcomes{U} << Files{};
        QTest::newRow("control character in a name")
            << testfiles::Archive({{"a\tb", "bad"}}) << QList<int>{0} << 1 << Outcomes{U}
            << Files{};
        QTest::newRow("byte 127 in a name") << testfiles::Archive({{"a\x7f", "bad"}})
                                            << QList<int>{0} << 1 << Outcomes{U} << Files{};

        // Offsets and sizes that do not fit the archive.
        const QByteArray data = "0123456789";
        QTest::newRow("negative offset")
            << Record("NEG", -5, 3) + Record("OK", 60, 4) + Record("", 0, 0) + data
            << QList<int>{0, 1} << 2 << Outcomes{G, W} << Files{{"OK", "0123"}};
        QTest::newRow("negative size")
            << Record("NEG", 60, -1) + Record("OK", 62, 2) + Record("", 0, 0) + data
            << QList<int>{0, 1} << 2 << Outcomes{G, W} << Files{{"OK", "23"}};
        QTest::newRow("data past the end, then a later selected entry")
            << Record("LONG", 65, 100) + Record("LATER", 60, 2) + Record("", 0, 0) + data
            << QList<int>{0, 1} << 2 << Outcomes{C, W} << Files{{"LONG", "56789"}, {"LATER", "01"}};
        QTest::newRow("offset past the end: an empty file, cut short")
            << Record("FAR", 1000, 5) + Record("", 0, 0) + data << QList<int>{0} << 1 << Outcomes{C}
            << Files{{"FAR", ""}};
        QTest::newRow("huge size is cut short without a huge buffer")
            << Record("HUGE", 40, INT32_MAX) + Record("", 0, 0) + data << QList<int>{0} << 1
            << Outcomes{C} << Files{{"HUGE", data}};
        QByteArray mixed(300030, '\0');
        for (qsizetype i = 0; i < mixed.size(); ++i)
            mixed[i] = char(i * 131 % 251);
        QTest::newRow("a large entry between two small ones that one read of the archive covers")
            << Record("A", 80, 10) + Record("B", 90, 300000) + Record("C", 100, 10) +
                   Record("", 0, 0) + mixed
            << QList<int>{0, 1, 2} << 3 << Outcomes{W, W, W}
            << Files{
                   {"A", mixed.mid(0, 10)}, {"B", mixed.mid(10, 300000)}, {"C", mixed.mid(20, 10)}};
        QTest::newRow("directory record cut short by the end of the archive")
            << Record("A", 0, 0) + Record("CUT", 0, 0).left(15) << QList<int>{1} << 2 << Outcomes{S}
            << Files{};

        // The archive changed since it was listed.
        QTest::newRow("a selected record now ends the directory: later ones are not extracted")
            << Record("A", 80, 1) + Record("9NOW", 80, 1) + Record("C", 81, 1) + Record("", 0, 0) +
                   "xy"
            << QList<int>{0, 1, 2} << 3 << Outcomes{W, D, D} << Files{{"A", "x"}};
        QTest::newRow("the archive now ends before a selected record")
            << Record("A", 20, 1) + "z" << QList<int>{0, 4} << 5 << Outcomes{W, D}
            << Files{{"A", "z"}};
    }
    void extract() {
        QFETCH(QByteArray, archive);
        QFETCH(QList<int>, selected);
        QFETCH(int, listCount);
        QFETCH(Outcomes, outcomes);
        QFETCH(Files, files);
        testfiles::Write(archivePath, archive);

        const auto report = extract(selected, listCount);
        QVERIFY(!report.ArchiveError && !report.FolderError);
        Outcomes got;
        for (const auto& e : report.Entries) {
            got << e.Result;
            QCOMPARE(archive::Describe(e).empty(), e.Result == Kind::Written);
        }
        QCOMPARE(got, outcomes);
        QCOMPARE(report.AllWritten(), outcomes.count(Kind::Written) == outcomes.size());
        QCOMPARE(outputFiles(), files);
        // Nothing appeared beside the output folder either.
        QCOMPARE(testfiles::Contents(root.path()), (QStringList{"archive.dat", "out"}));
    }

    // Mark-of-the-Web: every file extracted from an archive that has a zone gets that zone.
    void zone_data() {
        QTest::addColumn<QString>("suffix"); // where zones are kept; "" for the system's way
        QTest::addColumn<bool>("marked");    // whether the archive has a zone
        QTest::newRow("in the Zone.Identifier stream") << "" << true;
        QTest::newRow("in a file beside each file (a seam for systems without streams)")
            << ".zone" << true;
        QTest::newRow("an archive without a zone") << ".zone" << false;
    }
    void zone() {
        QFETCH(QString, suffix);
        QFETCH(bool, marked);
        const std::string system = archive::io::ZoneSuffix();
        const auto restore = qScopeGuard([&] { archive::io::SetZoneSuffix(system); });
        if (suffix.isEmpty() && system.empty())
            QSKIP("files keep no zone on this system");
        const std::string kept = suffix.isEmpty() ? system : suffix.toStdString();
        archive::io::SetZoneSuffix(kept);
        const std::string zone = "[ZoneTransfer]\r\nZoneId=3\r\n";
        const auto zoneOf = [&](const QString& file) {
            return archive::io::ReadZone(testfiles::NativePath(file));
        };
        testfiles::Write(archivePath, ThreeEntries());
        std::filesystem::path stream = testfiles::NativePath(archivePath);
        if (!archive::io::KeepsZones(stream))
            QSKIP("the file system keeps no streams (Wine's has none)");
        stream += kept;
        if (marked)
            std::ofstream(stream, std::ios::binary) << zone;
        else
            std::filesystem::remove(stream); // an earlier row's
        QCOMPARE(zoneOf(archivePath), marked ? zone : std::string());
        QVERIFY(extract({0, 2}, 3).AllWritten());
        for (const char* name : {"A.TXT", "C.TXT"})
            QCOMPARE(zoneOf(out + '/' + name), marked ? zone : std::string());
    }

    void stopNamesTheRest() {
        testfiles::Write(archivePath,
                         Record("A", 60, 1) + Record("", 0, 0) + Record("", 0, 0) + "x");
        const auto report = extract({0, 1, 2}, 3);
        QCOMPARE(report.StoppedAt, 1);
        QCOMPARE(report.Entries.size(), 3u);
        QCOMPARE(report.Entries[2].Position, 2);
        QCOMPARE(report.Entries[2].Result, Kind::NotInDirectory);
    }

    void replacesLongerFile() {
        testfiles::Write(archivePath, ThreeEntries());
        testfiles::Write(QDir(out).filePath("A.TXT"), QByteArray(10000, 'o'));
        QVERIFY(extract({0}, 3).AllWritten());
        QCOMPARE(testfiles::Read(QDir(out).filePath("A.TXT")), QByteArray("alpha"));
        // A second run with the same selection leaves the same contents.
        QVERIFY(extract({0}, 3).AllWritten());
        QCOMPARE(outputFiles(), (Files{{"A.TXT", "alpha"}}));
    }

    void plantedLinkIsReplacedNotFollowed() {
        testfiles::Write(archivePath, ThreeEntries());
        const QString victim = root.filePath("victim.txt");
        testfiles::Write(victim, "keep me");
        QVERIFY(QFile::link(victim, QDir(out).filePath("B.TXT")));
        QVERIFY(extract({1}, 3).AllWritten());
        QCOMPARE(testfiles::Read(victim), QByteArray("keep me"));
        const QFileInfo written(QDir(out).filePath("B.TXT"));
        QVERIFY(!written.isSymLink());
        QCOMPARE(testfiles::Read(written.filePath()), QByteArray("bravo!"));
    }

    void nameTakenByFolder() {
        testfiles::Write(archivePath, ThreeEntries());
        QVERIFY(QDir(out).mkdir("B.TXT"));
        const auto report = extract({0, 1, 2}, 3);
        QCOMPARE(report.Entries[1].Result, Kind::WriteFailed);
        QCOMPARE(report.Entries[2].Result, Kind::Written);
        QVERIFY(QFileInfo(QDir(out).filePath("B.TXT")).isDir());
        QCOMPARE(testfiles::Contents(out), (QStringList{"A.TXT", "B.TXT", "C.TXT"}));
    }

    // KeepExisting: what has a name already stays as it is, whichever way the entry would be
    // written; the free names are written, and the kept ones are no problem. ExistingNames
    // tells beforehand which those are.
    void keepExisting_data() {
        QTest::addColumn<QString>("taken"); // what out/B already is: "file", "link", "folder"
        QTest::addColumn<int>("size");      // of entry B
        QTest::newRow("a file, small entry") << "file" << 10;
        QTest::newRow("a file, large entry") << "file" << 300000;
        QTest::newRow("a link, not followed") << "link" << 10;
        QTest::newRow("a folder") << "folder" << 10;
    }
    void keepExisting() {
        QFETCH(QString, taken);
        QFETCH(int, size);
        testfiles::Write(archivePath,
                         testfiles::Archive({{"A", "a"}, {"B", QByteArray(size, 'b')}}));
        const QString b = QDir(out).filePath("B"), victim = root.filePath("victim");
        testfiles::Write(victim, "older");
#ifdef _WIN32
        if (taken == "link")
            QSKIP("QFile::link makes a shortcut on Windows, which the file system does not follow");
#endif
        if (taken == "file")
            testfiles::Write(b, "older");
        else if (taken == "link" && !QFile::link(victim, b))
            QSKIP("no symbolic links here");
        else if (taken == "folder")
            QVERIFY(QDir(out).mkdir("B"));
        const std::vector<std::string> names{"A", "B", "a/b"};
        QCOMPARE(archive::ExistingNames(testfiles::NativePath(out), names),
                 std::vector<std::string>{"B"});

        archive::ExtractOptions options;
        options.KeepExisting = true;
        const auto report = extract({0, 1}, 2, options);
        QCOMPARE(report.Entries[0].Result, Kind::Written);
        QCOMPARE(report.Entries[1].Result, Kind::KeptExisting);
        QCOMPARE(archive::Describe(report.Entries[1]), "kept the existing file");
        QVERIFY(report.AllWritten());
        QCOMPARE(QFileInfo(b).isDir(), taken == "folder");
        QCOMPARE(QFileInfo(b).isSymLink(), taken == "link");
        QCOMPARE(testfiles::Read(victim), QByteArray("older"));
        if (taken == "file")
            QCOMPARE(testfiles::Read(b), QByteArray("older"));
        QCOMPARE(testfiles::Contents(out), (QStringList{"A", "B"}));
    }

    void outputFolderTrailingSeparator() {
        testfiles::Write(archivePath, ThreeEntries());
        const std::vector<int> all{0, 1, 2};
        const auto report = archive::ExtractEntries(testfiles::NativePath(archivePath),
                                                    testfiles::NativePath(out + "/"), all, 3);
        QVERIFY(report.AllWritten());
        QCOMPARE(testfiles::Contents(out).size(), 3);
    }

    // The archive lies in the output folder under the name of one of its entries (the
    // window's default folder is the archive's own).
    void archiveWouldReplaceItself_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("the archive itself") << "same";
        QTest::newRow("a hard link to the archive") << "hard link";
        QTest::newRow("the folder through a symbolic link") << "linked folder";
    }
    void archiveWouldReplaceItself() {
        QFETCH(QString, how);
        const QByteArray bytes = testfiles::Archive({{"GAME.DAT", "entry"}, {"B", "b"}});
        const QString inFolder = QDir(out).filePath("GAME.DAT");
        testfiles::Write(how == "hard link" ? archivePath : inFolder, bytes);
        if (how == "hard link")
            std::filesystem::create_hard_link(testfiles::NativePath(archivePath),
                                              testfiles::NativePath(inFolder));
        else
            archivePath = inFolder;
        const QString folder = out;
#ifdef _WIN32
        if (how == "linked folder")
            QSKIP("QFile::link makes a shortcut on Windows, which the file system does not follow");
#endif
        if (how == "linked folder") {
            out = root.filePath("linked");
            QVERIFY(QFile::link(folder, out));
        }
        const auto report = extract({0, 1}, 2);
        QCOMPARE(report.Entries[0].Result, Kind::WouldReplaceArchive);
        QCOMPARE(report.Entries[1].Result, Kind::Written);
        QVERIFY(!report.AllWritten());
        QCOMPARE(testfiles::Read(inFolder), bytes);
        QFile::remove(root.filePath("linked"));
    }

    void listedNames_data() {
        QTest::addColumn<QList<QByteArray>>("listed");
        QTest::addColumn<Outcomes>("outcomes");
        QTest::addColumn<Files>("files");
        const Kind W = Kind::Written, X = Kind::ArchiveChanged;
        QTest::newRow("as listed")
            << QList<QByteArray>{"A.TXT", "B.TXT", "C.TXT"} << Outcomes{W, W, W}
            << Files{{"A.TXT", "alpha"}, {"B.TXT", "bravo!"}, {"C.TXT", "charlie"}};
        QTest::newRow("a record now holds another entry: that one is left, the rest go on")
            << QList<QByteArray>{"A.TXT", "Z.TXT", "C.TXT"} << Outcomes{W, X, W}
            << Files{{"A.TXT", "alpha"}, {"C.TXT", "charlie"}};
        QTest::newRow("a listed name longer than the record's")
            << QList<QByteArray>{"A.TXTX", "B.TXT", "C.TXT"} << Outcomes{X, W, W}
            << Files{{"B.TXT", "bravo!"}, {"C.TXT", "charlie"}};
    }
    void listedNames() {
        QFETCH(QList<QByteArray>, listed);
        QFETCH(Outcomes, outcomes);
        QFETCH(Files, files);
        testfiles::Write(archivePath, ThreeEntries());
        std::vector<std::string_view> names;
        for (const QByteArray& name : listed)
            names.emplace_back(name.constData(), std::size_t(name.size()));
        archive::ExtractOptions options;
        options.ListedNames = names;
        const auto report = extract({0, 1, 2}, 3, options);
        Outcomes got;
        for (const auto& e : report.Entries) {
            got << e.Result;
            // A changed record is named as it was listed, the name the user chose.
            QCOMPARE(e.Name, listed[e.Position].toStdString());
        }
        QCOMPARE(got, outcomes);
        QCOMPARE(outputFiles(), files);
    }

    // The directory and the entries come from the file as it was opened, whatever happens
    // to its path in between.
    void extractsFromTheOpenArchive() {
        testfiles::Write(archivePath, ThreeEntries());
        const archive::Archive opened(testfiles::NativePath(archivePath));
        QVERIFY(opened.IsOpen());
        QCOMPARE(archive::ReadDirectory(opened).Entries.size(), 3u);
        const QString other = root.filePath("other.dat");
        testfiles::Write(other, testfiles::Archive({{"Z", "zulu"}}));
        std::error_code replaced;
        std::filesystem::rename(testfiles::NativePath(other), testfiles::NativePath(archivePath),
                                replaced);
        // Windows keeps an open file's name until the file is closed.
        QCOMPARE(bool(replaced),
                 QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows);
        const std::vector<int> first{0};
        QVERIFY(archive::ExtractEntries(opened, testfiles::NativePath(out), first, 3).AllWritten());
        QVERIFY(archive::ExtractEveryEntry(opened, testfiles::NativePath(out)).AllWritten());
        QCOMPARE(outputFiles(),
                 (Files{{"A.TXT", "alpha"}, {"B.TXT", "bravo!"}, {"C.TXT", "charlie"}}));
    }

    // The output folder's path is replaced by a link after the first entry: the later ones
    // still go into the folder that was opened.
    void outputFolderSwapped() {
        testfiles::Write(archivePath, ThreeEntries());
        const QString moved = root.filePath("moved"), elsewhere = root.filePath("elsewhere");
        QVERIFY(QDir().mkdir(elsewhere));
        archive::ExtractOptions options;
#ifdef _WIN32
        // Windows keeps the opened folder from being renamed until the extraction ends.
        options.OnResult = [&](const archive::EntryResult& e) {
            if (e.Position == 0)
                QVERIFY(!QDir().rename(out, moved));
        };
        QVERIFY(extract({0, 1, 2}, 3, options).AllWritten());
        QCOMPARE(testfiles::Contents(out), (QStringList{"A.TXT", "B.TXT", "C.TXT"}));
        return;
#endif
        options.OnResult = [&](const archive::EntryResult& e) {
            if (e.Position == 0) {
                QVERIFY(QDir().rename(out, moved));
                QVERIFY(QFile::link(elsewhere, out));
            }
        };
        QVERIFY(extract({0, 1, 2}, 3, options).AllWritten());
        QCOMPARE(testfiles::Contents(elsewhere), QStringList{});
        QCOMPARE(testfiles::Contents(moved), (QStringList{"A.TXT", "B.TXT", "C.TXT"}));
        QFile::remove(out);
        QDir(moved).removeRecursively();
        QDir(elsewhere).removeRecursively();
    }

    // A folder path so long that only the entry's own name still fits after it.
    void outputPathNearPathMax() {
#ifdef _WIN32
        QSKIP("PATH_MAX is POSIX's: Windows paths end at 260 characters unless long paths are on");
#endif
        testfiles::Write(archivePath, testfiles::Archive({{"TWELVE.CHARS", "x"}}));
        QString deep = out;
        while (deep.size() < 4095 - 1 - 12 - 100)
            deep += "/" + QString(99, 'd');
        deep += "/" + QString(4095 - 1 - 12 - 1 - int(deep.size()), 'e');
        QCOMPARE(deep.size() + 1 + 12, 4095);
        QVERIFY(QDir().mkpath(deep));
        const std::vector<int> first{0};
        const auto report = archive::ExtractEntries(testfiles::NativePath(archivePath),
                                                    testfiles::NativePath(deep), first, 1);
        QCOMPARE(report.Entries[0].Result, Kind::Written);
        QCOMPARE(testfiles::Contents(deep), QStringList{"TWELVE.CHARS"});
    }

    // Results and progress delivered as they come, so the caller need not keep them.
    void resultsAndProgressAsTheyCome() {
        testfiles::Write(archivePath,
                         testfiles::Archive({{"SAME", "1"}, {"B", "22"}, {"SAME", "333"}}));
        QList<QPair<int, Kind>> results; // position, kind
        QList<QList<quint64>> progress;  // entries done, count, bytes done, total
        archive::ExtractOptions options;
        options.OnResult = [&](const archive::EntryResult& e) {
            results << qMakePair(e.Position, e.Result);
            if (e.Result == Kind::ReplacedByLater)
                QCOMPARE(e.ReplacedBy, 2);
        };
        options.OnProgress = [&](const archive::ExtractProgress& p) {
            progress << QList<quint64>{p.EntriesDone, p.EntryCount, p.BytesDone, p.TotalBytes};
        };
        const auto report = extract({0, 1, 2}, 3, options);
        const Kind W = Kind::Written, R = Kind::ReplacedByLater;
        QCOMPARE(results, (QList<QPair<int, Kind>>{{0, W}, {1, W}, {0, R}, {2, W}}));
        QVERIFY(report.Entries.empty());
        QCOMPARE(report.EntryCount, 3u);
        QCOMPARE(report.Problems, 1u);
        QVERIFY(!report.AllWritten());
        QCOMPARE(progress, (QList<QList<quint64>>{{1, 3, 1, 6}, {2, 3, 3, 6}, {3, 3, 6, 6}}));
    }

    // Two names, one file (as on a file system that folds case): found by the file's
    // identity, not by its name.
    void replacedThroughAnotherName() {
        testfiles::Write(archivePath, testfiles::Archive({{"A", "a"}, {"B", "b"}}));
        QList<QPair<int, Kind>> results; // position, kind
        archive::ExtractOptions options;
        options.OnResult = [&](const archive::EntryResult& e) {
            results << qMakePair(e.Position, e.Result);
            if (e.Position == 0 && e.Result == Kind::Written)
                std::filesystem::create_hard_link(testfiles::NativePath(QDir(out).filePath("A")),
                                                  testfiles::NativePath(QDir(out).filePath("B")));
        };
        QVERIFY(!extract({0, 1}, 2, options).AllWritten());
        const Kind W = Kind::Written, R = Kind::ReplacedByLater;
        QCOMPARE(results, (QList<QPair<int, Kind>>{{0, W}, {0, R}, {1, W}}));
    }

    // A folder that folds case, on a file system that gives each spelling of a name an inode
    // number of its own and keeps times in 2-second steps: names that fold to the same name
    // are one file whatever the identities say, and a file of this run is known as one
    // whatever its time says (each is made to look an hour old here). The archive GAME.DAT
    // lies in the folder; its entries are OTHER and a second one.
    void caseInsensitiveFolder_data() {
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<int>("size"); // of each entry: OTHER holds 1s, the second 2s
        QTest::addColumn<Results>("results");
        QTest::addColumn<char>("kept"); // what the one file besides the archive holds
        const Kind W = Kind::Written, R = Kind::ReplacedByLater, A = Kind::WouldReplaceArchive;
        const int large = 300 * 1024; // written through a temporary file
        QTest::newRow("the archive's name")
            << QByteArray("GAME.DAT") << 5 << Results{{0, W}, {1, A}} << '1';
        QTest::newRow("the archive's name in other case")
            << QByteArray("game.dat") << 5 << Results{{0, W}, {1, A}} << '1';
        QTest::newRow("the archive's name in other case, large entries")
            << QByteArray("Game.Dat") << large << Results{{0, W}, {1, A}} << '1';
        QTest::newRow("the first entry's name")
            << QByteArray("OTHER") << 5 << Results{{0, W}, {0, R}, {1, W}} << '2';
        QTest::newRow("the first entry's name in other case")
            << QByteArray("other") << 5 << Results{{0, W}, {0, R}, {1, W}} << '2';
        QTest::newRow("the first entry's name in other case, large entries")
            << QByteArray("Other") << large << Results{{0, W}, {0, R}, {1, W}} << '2';
    }
    void caseInsensitiveFolder() {
        QFETCH(QByteArray, second);
        QFETCH(int, size);
        QFETCH(Results, results);
        QFETCH(char, kept);
        const testfiles::FatFolder fat(root.path());
        QUILLMARROW_SKIP_UNLESS_USABLE(fat);
        out = fat.Path();
        archivePath = out + "/GAME.DAT";
        const QByteArray bytes =
            testfiles::Archive({{"OTHER", QByteArray(size, '1')}, {second, QByteArray(size, '2')}});
        testfiles::Write(archivePath, bytes);
        Results got;
        archive::ExtractOptions options;
        options.OnResult = [&](const archive::EntryResult& e) {
            got << qMakePair(e.Position, e.Result);
#ifndef _WIN32
            // Both times: fusefat keeps a modification time set alone from the clock.
            const timespec hourAgo{::time(nullptr) - 3600, 0}, times[2] = {hourAgo, hourAgo};
            if (e.Result == Kind::Written)
                ::utimensat(AT_FDCWD, QFile::encodeName(out + "/" + QString::fromLatin1(e.Name)),
                            times, 0);
#endif
        };
        extract({0, 1}, 2, options);
        QCOMPARE(got, results);
        QCOMPARE(testfiles::Read(archivePath), bytes);
        Files files;
        for (const auto& [name, data] : outputFiles().asKeyValueRange())
            if (name != "GAME.DAT")
                files[name.toLower()] = data;
        QCOMPARE(files, (Files{{"other", QByteArray(size, kept)}}));
    }

#ifndef _WIN32
    // A write that fails (here past the file-size limit) leaves nothing under the name, and
    // an old file of that name keeps its bytes, whichever way the entry was written.
    void failedWriteLeavesNothing_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("oldFile");
        QTest::newRow("small entry, free name") << 1000 << false;
        QTest::newRow("small entry, name taken") << 1000 << true;
        QTest::newRow("large entry, free name") << 300 * 1024 << false;
    }
    void failedWriteLeavesNothing() {
        QFETCH(int, size);
        QFETCH(bool, oldFile);
        testfiles::Write(archivePath,
                         testfiles::Archive({{"BIG", QByteArray(size, 'b')}, {"OK", "ok"}}));
        if (oldFile)
            testfiles::Write(QDir(out).filePath("BIG"), "old");
        rlimit limit{}, saved{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
        limit = saved;
        limit.rlim_cur = 100;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &limit) == 0);
        const auto report = extract({0, 1}, 2);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(report.Entries[0].Result, Kind::WriteFailed);
        QCOMPARE(report.Entries[1].Result, Kind::Written);
        QCOMPARE(outputFiles(),
                 oldFile ? (Files{{"BIG", "old"}, {"OK", "ok"}}) : (Files{{"OK", "ok"}}));
    }
#endif

    // A stop asked for inside a large entry: it leaves nothing (not even a temporary file
    // while it was being written), an old file of its name keeps its bytes, and it and the
    // rest are Cancelled.
    void stopInsideLargeEntry() {
        const QByteArray big(9 * 1024 * 1024, 'b');
        testfiles::Write(archivePath, testfiles::Archive({{"BIG", big}, {"NEXT", "n"}}));
        const QString old = QDir(out).filePath("BIG");
        testfiles::Write(old, "old bytes");
        std::stop_source stop;
        QStringList seen;
        archive::ExtractOptions options;
        options.Stop = stop.get_token();
        options.OnProgress = [&](const archive::ExtractProgress& p) {
            if (p.EntriesDone == 0) {
                seen = testfiles::Contents(out);
                // Where files cannot be made without a name, the entry is written to a
                // temporary file until it is whole.
                seen.removeIf([](const QString& name) {
                    return name.startsWith(".quillmarrow-") && name.endsWith(".part");
                });
                stop.request_stop();
            }
        };
        const auto report = extract({0, 1}, 2, options);
        QCOMPARE(seen, QStringList{"BIG"});
        QCOMPARE(report.Entries[0].Result, Kind::Cancelled);
        QCOMPARE(report.Entries[1].Result, Kind::Cancelled);
        QCOMPARE(outputFiles(), (Files{{"BIG", "old bytes"}}));
    }

    // What the archive or the output folder turned out to be when either cannot be used:
    // nothing is written and every selected entry is NotOpened.
    void openErrors_data() {
        QTest::addColumn<QString>("archive"); // what stands at the archive's path
        QTest::addColumn<QString>("folder");  // what stands at the output folder's path
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<bool>("ofArchive");
        QTest::addColumn<OpenKind>("kind");
        const QList<int> two{0, 1};
        QTest::newRow("missing archive") << "missing"
                                         << "folder" << two << true << OpenKind::NotFound;
        QTest::newRow("missing archive, nothing selected")
            << "missing"
            << "folder" << QList<int>{} << true << OpenKind::NotFound;
        QTest::newRow("empty archive path") << ""
                                            << "folder" << two << true << OpenKind::NotFound;
        QTest::newRow("archive is a folder") << "folder"
                                             << "folder" << two << true << OpenKind::IsFolder;
#ifndef _WIN32
        QTest::newRow("archive is a FIFO") << "fifo"
                                           << "folder" << two << true << OpenKind::NotRegularFile;
        QTest::newRow("archive is a device") << "/dev/zero"
                                             << "folder" << two << true << OpenKind::NotRegularFile;
        QTest::newRow("archive in an unsearchable folder")
            << "unsearchable"
            << "folder" << two << true << OpenKind::PermissionDenied;
#endif
        QTest::newRow("missing output folder") << "archive"
                                               << "missing" << two << false << OpenKind::NotFound;
        QTest::newRow("output folder is a file") << "archive"
                                                 << "file" << two << false << OpenKind::NotAFolder;
    }
    void openErrors() {
        QFETCH(QString, archive);
        QFETCH(QString, folder);
        QFETCH(QList<int>, selected);
        QFETCH(bool, ofArchive);
        QFETCH(OpenKind, kind);
        if (archive == "archive") {
            testfiles::Write(archivePath, ThreeEntries());
        } else if (archive == "folder") {
            QVERIFY(QDir().mkdir(archivePath));
#ifndef _WIN32
        } else if (archive == "fifo") {
            QVERIFY(::mkfifo(QFile::encodeName(archivePath), 0600) == 0);
        } else if (archive == "unsearchable") {
            if (::geteuid() == 0)
                QSKIP("permissions do not bind the superuser");
            const QString locked = root.filePath("locked");
            QVERIFY(QDir().mkpath(locked));
            archivePath = locked + "/archive.dat";
            testfiles::Write(archivePath, ThreeEntries());
            QVERIFY(::chmod(QFile::encodeName(locked), 0) == 0);
#endif
        } else {
            archivePath = archive.startsWith('/') ? archive
                          : archive.isEmpty()     ? ""
                                                  : root.filePath(archive);
        }
        if (folder == "missing") {
            QVERIFY(QDir(out).removeRecursively());
        } else if (folder == "file") {
            QVERIFY(QDir(out).removeRecursively());
            testfiles::Write(out, "not a folder");
        }

        const auto report = extract(selected, 3);
        QFile::setPermissions(root.filePath("locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const archive::OpenError& error = ofArchive ? report.ArchiveError : report.FolderError;
        QCOMPARE(error.What, kind);
        QVERIFY(!(ofArchive ? report.FolderError : report.ArchiveError));
        QVERIFY(!archive::Describe(error).empty());
        if (ofArchive)
            QCOMPARE(archive::Archive(testfiles::NativePath(archivePath)).Error().What, kind);
        QCOMPARE(int(report.Entries.size()), selected.size());
        for (const auto& e : report.Entries)
            QCOMPARE(e.Result, Kind::NotOpened);
        QCOMPARE(report.AllWritten(), selected.isEmpty());
        if (folder == "folder")
            QCOMPARE(outputFiles(), Files{});
        QFile::remove(out);
    }

    // The archive changed on disk after it was listed: every selected entry is reported as
    // not written and nothing is written.
    void archiveGoneAfterListing_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<OpenKind>("archiveError");
        QTest::addColumn<Kind>("kind"); // of each entry
        QTest::newRow("deleted") << "delete" << OpenKind::NotFound << Kind::NotOpened;
        QTest::newRow("replaced by a folder") << "folder" << OpenKind::IsFolder << Kind::NotOpened;
        QTest::newRow("emptied") << "empty" << OpenKind::None << Kind::NotInDirectory;
    }
    void archiveGoneAfterListing() {
        QFETCH(QString, change);
        QFETCH(OpenKind, archiveError);
        QFETCH(Kind, kind);
        testfiles::Write(archivePath, ThreeEntries());
        const archive::Directory dir = archive::ReadDirectory(testfiles::NativePath(archivePath));
        QCOMPARE(dir.Entries.size(), 3u);
        QVERIFY(QFile::remove(archivePath));
        if (change == "folder")
            QVERIFY(QDir().mkdir(archivePath));
        else if (change == "empty")
            testfiles::Write(archivePath, {});

        const auto report = extract({0, 1, 2}, int(dir.Entries.size()));
        QCOMPARE(report.ArchiveError.What, archiveError);
        QCOMPARE(report.Entries.size(), 3u);
        for (const auto& e : report.Entries)
            QCOMPARE(e.Result, kind);
        QCOMPARE(outputFiles(), Files{});
    }

    // Larger than one copy chunk, so the copy loop runs more than once; data at a page
    // boundary is copied by the kernel where it can, data elsewhere through a buffer.
    void largeEntry_data() {
        QTest::addColumn<int>("offset");
        QTest::newRow("data right after the directory") << 60;
        QTest::newRow("data at a page boundary") << 65536;
    }
    void largeEntry() {
        QFETCH(int, offset);
        QByteArray big(9 * 1024 * 1024 + 7, '\0');
        for (qsizetype i = 0; i < big.size(); ++i)
            big[i] = char(i * 131 % 251);
        const QByteArray head = Record("BIG", offset, int(big.size())) +
                                Record("SMALL", offset + int(big.size()), 1) + Record("", 0, 0);
        testfiles::Write(archivePath, head + QByteArray(offset - head.size(), 'p') + big + "s");
        QVERIFY(extract({0, 1}, 2).AllWritten());
        QVERIFY(testfiles::Read(QDir(out).filePath("BIG")) == big);
        QCOMPARE(testfiles::Read(QDir(out).filePath("SMALL")), QByteArray("s"));
    }

    void unsafeNames_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("windows");
        QTest::addColumn<bool>("safe");
        QTest::newRow("ordinary") << QByteArray("FILE.TXT") << true << true;
        QTest::newRow("colon elsewhere") << QByteArray("a:b") << false << true;
        QTest::newRow("colon on Windows") << QByteArray("a:b") << true << false;
        QTest::newRow("CON") << QByteArray("CON") << true << false;
        QTest::newRow("con.txt") << QByteArray("con.txt") << true << false;
        QTest::newRow("COM1.dat") << QByteArray("COM1.dat") << true << false;
        QTest::newRow("LPT9") << QByteArray("lpt9") << true << false;
        QTest::newRow("COM0") << QByteArray("COM0") << true << false;
        QTest::newRow("lpt0.txt") << QByteArray("lpt0.txt") << true << false;
        QTest::newRow("CONIN$") << QByteArray("CONIN$") << true << false;
        QTest::newRow("conout$.log") << QByteArray("conout$.log") << true << false;
        QTest::newRow("COM superscript 1, Western") << QByteArray("COM\xb9") << true << false;
        QTest::newRow("LPT superscript 3, UTF-8") << QByteArray("LPT\xc2\xb3.x") << true << false;
        QTest::newRow("COM10 is not a device") << QByteArray("COM10") << true << true;
        QTest::newRow("COM superscript 4 is not a device")
            << QByteArray("COM\xe2\x81\xb4") << true << true;
        QTest::newRow("CONIN$ elsewhere") << QByteArray("CONIN$") << false << true;
        QTest::newRow("CONSOLE is not a device") << QByteArray("CONSOLE") << true << true;
        QTest::newRow("NUL elsewhere") << QByteArray("NUL") << false << true;
        QTest::newRow("trailing space") << QByteArray("A ") << true << false;
        QTest::newRow("trailing full stop") << QByteArray("A.") << true << false;
        QTest::newRow("question mark") << QByteArray("A?") << true << false;
        QTest::newRow("slash everywhere") << QByteArray("a/b") << false << false;
        QTest::newRow("line feed everywhere") << QByteArray("a\nb") << false << false;
        QTest::newRow("C1 control U+009B in UTF-8") << QByteArray("b\xc2\x9b") << false << false;
        QTest::newRow("C1 control U+0080 in UTF-8") << QByteArray("\xc2\x80") << true << false;
        QTest::newRow("U+00A0 is no control") << QByteArray("a\xc2\xa0") << false << true;
        QTest::newRow("a lone byte 9B is no UTF-8 control") << QByteArray("a\x9b") << false << true;
    }
    void unsafeNames() {
        QFETCH(QByteArray, name);
        QFETCH(bool, windows);
        QFETCH(bool, safe);
        QCOMPARE(archive::UnsafeName(name.toStdString(), windows) == archive::NameProblem::None,
                 safe);
    }

    // Reading a range of one entry in place, checked as extraction checks it.
    void entryData_data() {
        QTest::addColumn<QByteArray>("archive"); // empty: no archive
        QTest::addColumn<int>("position");
        QTest::addColumn<QByteArray>("listed");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QByteArray>("fromByte2"); // what reading 100 bytes from byte 2 gives
        const QByteArray three = ThreeEntries();
        QTest::newRow("whole") << three << 1 << QByteArray("B.TXT") << Kind::Written
                               << QByteArray("avo!");
        QTest::newRow("cut short: only the bytes that exist")
            << Record("A", 40, 9) + Record("", 0, 0) + "abcd" << 0 << QByteArray("A")
            << Kind::CutShort << QByteArray("cd");
        QTest::newRow("negative offset") << Record("A", -1, 4) + Record("", 0, 0) << 0
                                         << QByteArray("A") << Kind::NegativeRange << QByteArray();
        QTest::newRow("negative size") << Record("A", 40, -4) + Record("", 0, 0) << 0
                                       << QByteArray("A") << Kind::NegativeRange << QByteArray();
        QTest::newRow("another name: the archive changed")
            << three << 1 << QByteArray("A.TXT") << Kind::ArchiveChanged << QByteArray();
        QTest::newRow("past the directory")
            << three << 3 << QByteArray("D.TXT") << Kind::NotInDirectory << QByteArray();
        QTest::newRow("record cut short") << Record("A", 40, 9).left(15) << 0 << QByteArray("A")
                                          << Kind::RecordCutShort << QByteArray();
        QTest::newRow("no archive")
            << QByteArray() << 0 << QByteArray("A") << Kind::NotOpened << QByteArray();
    }
    void entryData() {
        QFETCH(QByteArray, archive);
        QFETCH(int, position);
        QFETCH(QByteArray, listed);
        QFETCH(Kind, kind);
        QFETCH(QByteArray, fromByte2);
        if (!archive.isEmpty())
            testfiles::Write(archivePath, archive);
        const archive::EntryData data(testfiles::NativePath(archivePath), position,
                                      listed.toStdString());
        QCOMPARE(data.Record().Result, kind);
        QByteArray got(100, '\0');
        std::error_code ec;
        got.resize(qsizetype(data.Read(2, got.data(), 100, ec)));
        QVERIFY(!ec);
        QCOMPARE(got, fromByte2);
    }
};

QTEST_GUILESS_MAIN(TestExtract)
#include "tst_extract.moc"
