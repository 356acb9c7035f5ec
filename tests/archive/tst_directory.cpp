// Reading the archive directory: the end-of-directory rule, name cutting and the end of file.

#include "TestFiles.h"
#include "archive/Directory.h"

#include <QTemporaryDir>
#include <QTest>

using testfiles::Record;

class TestDirectory : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString archivePath() const { return dir.filePath("test.dat"); }
    archive::Directory read(const QByteArray& bytes, std::size_t max = SIZE_MAX) {
        testfiles::Write(archivePath(), bytes);
        return archive::ReadDirectory(testfiles::NativePath(archivePath()), max);
    }
    static QList<QByteArray> names(const archive::Directory& d) {
        QList<QByteArray> out;
        for (const auto& e : d.Entries)
            out << QByteArray::fromStdString(e.Name);
        return out;
    }

private slots:
    void listing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QByteArray>>("expected");
        const QByteArray end = Record("", 0, 0);
        using L = QList<QByteArray>;
        QTest::newRow("empty file") << QByteArray() << L{};
        QTest::newRow("first record begins with NUL")
            << Record("", 40, 3) + Record("B", 0, 0) << L{};
        QTest::newRow("first record begins with a digit")
            << Record("1ABC", 0, 0) + Record("B", 0, 0) << L{};
        // The ends of the byte ranges that end the directory, and their neighbours outside.
        QTest::newRow("second record begins with 0 (48)")
            << Record("A", 0, 0) + Record("0B", 0, 0) << L{"A"};
        QTest::newRow("second record begins with 9 (57)")
            << Record("A", 0, 0) + Record("9B", 0, 0) << L{"A"};
        QTest::newRow("second record begins with a full stop (46)")
            << Record("A", 0, 0) + Record(".B", 0, 0) << L{"A"};
        QTest::newRow("second record begins with a slash (47)")
            << Record("A", 0, 0) + Record("/B", 0, 0) << L{"A"};
        QTest::newRow("second record begins with a hyphen (45): listed")
            << Record("A", 0, 0) + Record("-B", 0, 0) << L{"A", "-B"};
        QTest::newRow("second record begins with a colon (58): listed")
            << Record("A", 0, 0) + Record(":B", 0, 0) << L{"A", ":B"};
        QTest::newRow("first record begins with a full stop") << Record(".ABC", 0, 0) << L{};
        QTest::newRow("first record begins with a slash") << Record("/etc", 0, 0) << L{};
        QTest::newRow("eight characters then NULs, then a NUL record")
            << Record("DATA.BIN", 40, 0) + end << L{"DATA.BIN"};
        QTest::newRow("twelve characters without NUL")
            << Record("ABCDEFGH.TXT", 0, 0) + end << L{"ABCDEFGH.TXT"};
        QTest::newRow("name cut at its first NUL")
            << QByteArray("AB\0CD\0\0\0\0\0\0\0", 12) + QByteArray(8, '\1') + end << L{"AB"};
        QTest::newRow("space, hyphen (45) and colon (58) begin names")
            << Record(" SP", 0, 0) + Record("-HY", 0, 0) + Record(":CO", 0, 0) + end
            << L{" SP", "-HY", ":CO"};
        QTest::newRow("bytes 46 to 57 only end the directory when first")
            << Record("A.9/", 0, 0) + end << L{"A.9/"};
        QTest::newRow("three records then one beginning with 46")
            << Record("ONE", 0, 0) + Record("TWO", 0, 0) + Record("THREE", 0, 0) +
                   Record(".X", 0, 0) + Record("FOUR", 0, 0)
            << L{"ONE", "TWO", "THREE"};
        QTest::newRow("bytes above 127 kept as they are")
            << Record("\xe9t\xe9", 0, 0) + end << L{"\xe9t\xe9"};
        QTest::newRow("no terminating record: the end of the file ends the directory")
            << Record("A", 0, 0) + Record("B", 0, 0) << L{"A", "B"};
        QTest::newRow("file ends after the name bytes of the last record")
            << Record("A", 0, 0) + Record("LAST", 0, 0).left(15) << L{"A", "LAST"};
        QTest::newRow("file ends inside the name: the bytes present are listed")
            << Record("A", 0, 0) + QByteArray("PART") << L{"A", "PART"};
        QTest::newRow("file ends inside the name right after a NUL")
            << Record("A", 0, 0) + QByteArray("X\0Y", 3) << L{"A", "X"};
    }
    void listing() {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QByteArray>, expected);
        const auto d = read(bytes);
        QCOMPARE(d.Error.What, archive::OpenError::Kind::None);
        QCOMPARE(names(d), expected);
        QVERIFY(!d.LeftOut);
    }

    void offsetsAndSizes() {
        const auto d =
            read(Record("A", 40, 7) + Record("B", -1, INT32_MIN) + Record("C", 3, 0).left(14));
        QCOMPARE(d.Entries.size(), 3u);
        QCOMPARE(d.Entries[0].Offset, 40);
        QCOMPARE(d.Entries[0].Size, 7);
        QCOMPARE(d.Entries[1].Offset, -1);
        QCOMPARE(d.Entries[1].Size, INT32_MIN);
        QVERIFY(d.Entries[1].Complete);
        // Missing bytes of a record cut short count as zero.
        QCOMPARE(d.Entries[2].Offset, 3);
        QCOMPARE(d.Entries[2].Size, 0);
        QVERIFY(!d.Entries[2].Complete);
    }

    void notAnArchive_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<archive::OpenError::Kind>("error");
        using Kind = archive::OpenError::Kind;
        QTest::newRow("empty path") << QString() << Kind::NotFound;
        QTest::newRow("missing file") << QStringLiteral("missing.dat") << Kind::NotFound;
        QTest::newRow("a folder") << QStringLiteral("sub") << Kind::IsFolder;
    }
    void notAnArchive() {
        QFETCH(QString, path);
        QFETCH(archive::OpenError::Kind, error);
        QDir(dir.path()).mkpath("sub");
        const QString full = path.isEmpty() ? path : dir.filePath(path);
        const auto d = archive::ReadDirectory(testfiles::NativePath(full));
        QCOMPARE(d.Error.What, error);
        QVERIFY(d.Entries.empty());
    }

    // Every prefix of a valid archive lists the records it still holds, never more, and the
    // records whose name bytes are all there keep their full names.
    void everyPrefix() {
        QList<QPair<QByteArray, QByteArray>> entries;
        for (int i = 0; i < 6; ++i)
            entries.append({"ENTRY" + QByteArray::number(i) + ".TXT", QByteArray(i * 3, 'x')});
        const QByteArray full = testfiles::Archive(entries);
        for (qsizetype len = 0; len <= full.size(); ++len) {
            const auto d = read(full.left(len));
            const qsizetype expected = std::min<qsizetype>(6, (len + 19) / 20);
            QCOMPARE(qsizetype(d.Entries.size()), expected);
            for (qsizetype k = 0; k < expected; ++k) {
                const QByteArray name = entries[k].first.left(len - 20 * k);
                QCOMPARE(QByteArray::fromStdString(d.Entries[size_t(k)].Name), name);
            }
        }
    }

    // Large directories are read in blocks; the walk must not change at block boundaries.
    void largeDirectory_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("cut"); // bytes removed from the end of the directory
        QTest::newRow("4095 records and a terminator") << 4095 << 0;
        QTest::newRow("4096 records and a terminator") << 4096 << 0;
        QTest::newRow("4097 records, no terminator") << 4097 << 20;
        QTest::newRow("8192 records, no terminator") << 8192 << 20;
        QTest::newRow("8193 records, the last cut to 3 bytes") << 8193 << 37;
        QTest::newRow("12288 records (two whole blocks), no terminator") << 12288 << 20;
        QTest::newRow("12289 records, the last cut to its name") << 12289 << 28;
        QTest::newRow("28673 records and a terminator") << 28673 << 0;
    }
    void largeDirectory() {
        QFETCH(int, count);
        QFETCH(int, cut);
        QByteArray bytes;
        for (int k = 0; k < count; ++k)
            bytes += Record("N" + QByteArray::number(k), k, 1);
        bytes += Record("", 0, 0);
        bytes.chop(cut);
        const auto d = read(bytes);
        QCOMPARE(int(d.Entries.size()), count);
        const int lastBytes = cut > 20 ? 40 - cut : 20;
        for (int k = 0; k < count; ++k) {
            const auto& e = d.Entries[size_t(k)];
            const int bytesPresent = k == count - 1 ? lastBytes : 20;
            QCOMPARE(e.Name, ("N" + std::to_string(k)).substr(0, size_t(bytesPresent)));
            QCOMPARE(e.Offset, bytesPresent >= 16 ? k : 0);
        }
    }

    void maxEntries_data() {
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("listed");
        QTest::addColumn<bool>("leftOut");
        QTest::newRow("more records than the maximum") << 5 << 3 << 3 << true;
        QTest::newRow("exactly the maximum, then the terminator") << 5 << 5 << 5 << false;
        QTest::newRow("fewer than the maximum") << 2 << 5 << 2 << false;
        QTest::newRow("a maximum of 0") << 1 << 0 << 0 << true;
        QTest::newRow("the maximum at the end of the first block") << 5000 << 4096 << 4096 << true;
        QTest::newRow("one left out at the end of the first block") << 4096 << 4095 << 4095 << true;
        QTest::newRow("the maximum inside the second block") << 5000 << 4097 << 4097 << true;
    }
    void maxEntries() {
        QFETCH(int, records);
        QFETCH(int, max);
        QFETCH(int, listed);
        QFETCH(bool, leftOut);
        QByteArray bytes;
        for (int k = 0; k < records; ++k)
            bytes += Record("E" + QByteArray::number(k), 0, 0);
        bytes += Record("", 0, 0);
        const auto d = read(bytes, size_t(max));
        QCOMPARE(int(d.Entries.size()), listed);
        QCOMPARE(d.LeftOut, leftOut);
    }
};

QTEST_GUILESS_MAIN(TestDirectory)
#include "tst_directory.moc"
