#include "settings/clsINI.h"
#include "settings/modNumberParser.h"
#include "settings/modSettingsFile.h"

#include "TestFiles.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>
#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using testfiles::Read;
using testfiles::Write;

namespace {

const char* const NoFile = nullptr;
const QString SavePrefix = "clsINI.SaveFile: ";
const QString SaveTitle = "Could not save INI file.";

// Child mode of this program: saves a document bigger than the file size limit.
int CutShortSave(const QString& path, int valueSize) {
#ifdef Q_OS_UNIX
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    clsINI::SetFailureHandler([](const QString& p, int b, const QString& t) {
        std::printf("%d|%s|%s\n", b, qPrintable(t), qPrintable(p));
    });
    clsINI ini;
    ini.LoadINI(path);
    const QString value(valueSize, u'x');
    ini.WriteValue("New", "k", value);
    std::printf("kept=%d\n", ini.ReadString("New", "k") == value);
    return 0;
}

// The key order by the rule itself, as arrival numbers: each key scans from the start and stops
// at the first key that is not numeric or greater in value (a numeric key) or greater by code
// units (any other).
QList<int> PlainScan(const QStringList& arriving) {
    QList<int> keys;
    for (int k = 0; k < arriving.size(); ++k) {
        const std::optional<qint32> value = modNumberParser::NumericName(arriving[k]);
        qsizetype p = 0;
        for (; p < keys.size(); ++p) {
            const QString& name = arriving[keys[p]];
            const std::optional<qint32> other = modNumberParser::NumericName(name);
            if (value ? !other || *other > *value : name > arriving[k])
                break;
        }
        keys.insert(p, k);
    }
    return keys;
}

// Random bytes without line breaks; a key name also without "=" and not read as a header or a
// comment. As UTF-8, random characters of every plane.
QByteArray RandomText(QRandomGenerator& random, bool keyName, bool utf8) {
    QByteArray text;
    const int length = random.bounded(keyName ? 1 : 0, 12);
    while (text.size() < length) {
        const char32_t c = utf8 ? random.bounded(0x110000) : random.bounded(256);
        if (c == '\r' || c == '\n' ||
            (keyName && (c == '=' || (text.isEmpty() && (c == '[' || c == ';')))) ||
            (c >= 0xD800 && c < 0xE000))
            continue;
        text += utf8 ? QString::fromUcs4(&c, 1).toUtf8() : QByteArray(1, static_cast<char>(c));
    }
    return text;
}

#ifdef Q_OS_UNIX
// Runs what in a child process as an ordinary user (nobody when the tests run as root, whom file
// modes do not stop) and returns the messages reported there; nothing when that cannot be had.
std::optional<QStringList> AsOrdinaryUser(const std::function<void()>& what) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        clsINI::SetFailureHandler([&](const QString& p, int b, const QString& t) {
            const QByteArray line = QString("%1|%2|%3\n").arg(b).arg(t, p).toUtf8();
            (void)!write(pipeEnds[1], line.constData(), line.size());
        });
        what();
        _exit(0);
    }
    close(pipeEnds[1]);
    QByteArray out;
    char buffer[512];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    close(pipeEnds[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return std::nullopt;
    return QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
}
#endif

} // namespace

class TestClsIni : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path;
    QStringList messages; // "buttons|title|prompt"

private slots:
    void init() {
        path = dir.filePath("t.ini");
        QFile::remove(path);
        messages.clear();
        clsINI::SetFailureHandler([this](const QString& p, int b, const QString& t) {
            messages << QString("%1|%2|%3").arg(b).arg(t, p);
        });
    }
    void cleanup() { clsINI::SetFailureHandler({}); }

    // A file is loaded, changed by operations ("W|section|key|value", "DS|section",
    // "DK|section|key", "SAVE"), and the bytes written are compared; each value set reads back.
    void document_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("ops");
        QTest::addColumn<QByteArray>("written");
        const QStringList save{"SAVE"};
        auto row = [](const char* name, const char* file, QStringList ops, QByteArray written) {
            QTest::newRow(name) << (file ? QByteArray(file) : QByteArray()) << ops << written;
        };
        row("blanks kept", "[G]\r\n Folder = C:\\Data \r\n", save,
            "[G]\r\n Folder = C:\\Data \r\n");
        row("split at first =", "[S]\r\na=b=c\r\n=v\r\nb=\r\n", save,
            "[S]\r\n=v\r\na=b=c\r\nb=\r\n");
        row("comments", "[S]\r\n;a=1\r\n ;a=1\r\n#a=1\r\n", save,
            "[S]\r\n;a=1\r\n ;a=1\r\n#a=1\r\n");
        row("comments go with the line after them",
            "; top\r\n[A]\r\n; b\r\n\r\n; b2\r\nb=2\r\n;a\r\na=1\r\n; B\r\n[B]\r\nk=1\r\n; end",
            {"W|A|b|3"},
            "; top\r\n[A]\r\n;a\r\na=1\r\n; b\r\n; b2\r\nb=3\r\n\r\n; B\r\n[B]\r\nk=1\r\n; "
            "end\r\n");
        row("ignored lines", "[S]\r\n\r\nnoequals\r\nk=v\r\n\r\n", save, "[S]\r\nk=v\r\n");
        row("headers drop last char", "[]\r\n[abc\r\n[A] ;x\r\n", save,
            "[]\r\n\r\n[ab]\r\n\r\n[A] ;]\r\n");
        row("lone [ skipped", "[A]\r\n[\r\nk=1\r\n", save, "[A]\r\nk=1\r\n");
        row("key before header", "k=0\r\n[A]\r\nk=1\r\n", save, "k=0\r\n[A]\r\nk=1\r\n");
        row("duplicates kept", "[A]\r\nk=2\r\nk=1\r\n[B]\r\n[A]\r\nz=3", save,
            "[A]\r\nk=2\r\nk=1\r\n\r\n[B]\r\n\r\n[A]\r\nz=3\r\n");
        row("LF, CR, CR CR LF", "[A]\nk=1\rj=2\r\r\ni=3", save, "[A]\r\ni=3\r\nj=2\r\nk=1\r\n");
        row("BOM skipped", "\xEF\xBB\xBF[A]\r\nk=1\r\n", save, "[A]\r\nk=1\r\n");
        row("BOM on a later line is text", "[A]\r\n\xEF\xBB\xBFk=1\r\n", save,
            "[A]\r\n\xEF\xBB\xBFk=1\r\n");
        row("second BOM is text", "\xEF\xBB\xBF\xEF\xBB\xBF[A]\r\nk=1\r\n", save, "k=1\r\n");
        row("a key that starts with a BOM first", "\xEF\xBB\xBF\xEF\xBB\xBFk=1\r\n", save,
            "\xEF\xBB\xBF\xEF\xBB\xBFk=1\r\n");
        row("8-bit text", QString("[Grüße]\r\nö=ä\r\n").toLocal8Bit(), save,
            QString("[Grüße]\r\nö=ä\r\n").toLocal8Bit());
        row("no section, a comment", ";only\r\n", save, ";only\r\n");
        const QByteArray astral = QString("[A\U0001F600\r\n").toLocal8Bit(); // one character
        if (QString::fromLocal8Bit(astral) == "[A\U0001F600\r\n")
            row("header drops a whole character", astral, save, "[A]\r\n");
        row("order b 10 a 9 x1", "[S]\r\nb=\r\n10=\r\na=\r\n9=\r\nx1=\r\n", save,
            "[S]\r\n9=\r\n10=\r\na=\r\nb=\r\nx1=\r\n");
        row("order 9 10 5a 7", "[S]\r\n9=\r\n10=\r\n5a=\r\n7=\r\n", save,
            "[S]\r\n7=\r\n5a=\r\n9=\r\n10=\r\n");
        auto order = [&](const char* name, QStringList arriving, QStringList sorted) {
            QStringList ops;
            for (const QString& k : arriving)
                ops << "W|S|" + k + "|";
            row(name, NoFile, ops, ("[S]\r\n" + sorted.join("=\r\n") + "=\r\n").toUtf8());
        };
        order("equal values keep arrival", {"2.4", "2", "1"}, {"1", "2.4", "2"});
        order("2.5 ranks as 2", {"3", "2.5", "2"}, {"2.5", "2", "3"});
        order("blanks around numbers", {"10", "7 "}, {"7 ", "10"});
        order("exponent", {"50", "1e2"}, {"50", "1e2"});
        order("signs", {"-1", "-5"}, {"-5", "-1"});
        order("1e is no number", {"10", "1e"}, {"10", "1e"});
        order(". is no number", {"0", "."}, {".", "0"});
        order("int32 max numeric", {"9", "2147483647"}, {"9", "2147483647"});
        order("beyond int32 ordinal", {"9", "2147483648"}, {"2147483648", "9"});
        order("ordinal case", {"b", "B", "a", "A", "ab"}, {"A", "B", "a", "ab", "b"});
        order("UTF-16 code units", {"\uFF21", "\U0001F600"}, {"\U0001F600", "\uFF21"});
        const char* general = "[General]\r\nFolder=C:\\Data\r\n";
        row("layout example", general, {"W|Other|b|2", "W|Other|a|1"},
            "[General]\r\nFolder=C:\\Data\r\n\r\n[Other]\r\na=1\r\nb=2\r\n");
        row("replace keeps place", "[S]\r\na=1\r\nb=2\r\n", {"W|S|a|9"}, "[S]\r\na=9\r\nb=2\r\n");
        row("section without keys", general, {"DK|General|Folder"}, "[General]\r\n");
        row("empty document truncates", general, {"DS|General"}, "");
        row("last line without line end, then a write", "[A]\r\nz=3", {"W|A|k|1"},
            "[A]\r\nk=1\r\nz=3\r\n");
        row("value with =", NoFile, {"W|S|a|b=c"}, "[S]\r\na=b=c\r\n");
        row("Latin-1 stays Latin-1", "[A]\r\nk=M\xFCller\r\n", {"W|A|j|x"},
            "[A]\r\nj=x\r\nk=M\xFCller\r\n");
        row("Latin-1: a value beyond one byte is UTF-8 alone", "[A]\r\nk=caf\xE9\r\n",
            {"W|A|j|\u0394"}, "[A]\r\nj=\xCE\x94\r\nk=caf\xE9\r\n");
        row("Latin-1: a value of one byte each", "[A]\r\nk=caf\xE9\r\n", {"W|A|j|\u00E9"},
            "[A]\r\nj=\xE9\r\nk=caf\xE9\r\n");
        row("Latin-1: a value whose bytes read as UTF-8", "[A]\r\nk=caf\xE9\r\n",
            {"W|A|j|\u00C3\u00A9"}, "[A]\r\nj=\xC3\x83\xC2\xA9\r\nk=caf\xE9\r\n");
        row("no-op write saves", "; c\n[S]\nk=v\n", {"W|S|k|v"}, "; c\r\n[S]\r\nk=v\r\n");
        row("no-op DeleteSection saves", "; c\n[S]\nk=v\n", {"DS|s"}, "; c\r\n[S]\r\nk=v\r\n");
        row("no-op DeleteKey saves", "; c\n[S]\nk=v\n", {"DK|S|K"}, "; c\r\n[S]\r\nk=v\r\n");
        const char* dup = "[A]\r\nk=1\r\nk=2\r\n[A]\r\nk=3\r\n";
        row("duplicates: write first", dup, {"W|A|k|x"}, "[A]\r\nk=x\r\nk=2\r\n\r\n[A]\r\nk=3\r\n");
        row("duplicates: delete key", dup, {"DK|A|k"}, "[A]\r\nk=2\r\n\r\n[A]\r\nk=3\r\n");
        row("duplicates: delete section", dup, {"DS|A"}, "[A]\r\nk=3\r\n");
    }
    void document() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, ops);
        QFETCH(QByteArray, written);
        if (!file.isNull())
            Write(path, file);
        clsINI ini;
        ini.LoadINI(path);
        for (const QString& op : ops) {
            const QStringList a = op.split(u'|');
            if (a[0] == "W")
                ini.WriteValue(a[1], a[2], a[3]);
            else if (a[0] == "DS")
                ini.DeleteSection(a[1]);
            else if (a[0] == "DK")
                ini.DeleteKey(a[1], a[2]);
            else
                ini.SaveFile();
        }
        QCOMPARE(Read(path), written);
        QCOMPARE(ini.Serialize(), written);
        QCOMPARE(messages, QStringList());
        clsINI reloaded; // each value set reads back
        reloaded.LoadINI(path);
        for (const QString& op : ops) {
            const QStringList a = op.split(u'|');
            if (a[0] == "W")
                QCOMPARE(reloaded.ReadString(a[1], a[2]), a[3]);
        }
    }

    void readString_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("fallback");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, const char* s, const char* k, QVariant d, const char* e) {
            QTest::newRow(name) << QString(s) << QString(k) << d << QString(e);
        };
        row("found", "General", "Folder", "x", "C:\\Data");
        row("no section", "Other", "Folder", "x", "x");
        row("no default", "Other", "Folder", QVariant(), "");
        row("no key, number", "General", "Nothing", 7, "7");
        row("empty value", "General", "Empty", "x", "");
        row("letter case", "general", "Folder", "x", "x");
        row("blank", "General", "Folder ", "x", "x");
        row("first of two", "Dup", "k", QVariant(), "1");
    }
    void readString() {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QVariant, fallback);
        QFETCH(QString, expected);
        Write(path,
              "[General]\r\nFolder=C:\\Data\r\nEmpty=\r\n[Dup]\r\nk=1\r\nk=2\r\n[Dup]\r\nk=3\r\n");
        clsINI ini;
        ini.LoadINI(path);
        QCOMPARE(ini.ReadString(section, key, fallback), expected);
    }

    // A null value means the key is missing; expected below -2^31 means std::overflow_error.
    void readLong_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QVariant>("fallback");
        QTest::addColumn<qint64>("expected");
        const qint64 overflow = -1LL << 40;
        auto row = [](const char* v, QVariant d, qint64 e) {
            QTest::addRow("%s|%s", v ? v : "(missing)", qPrintable(d.toString()))
                << (v ? QString(v) : QString()) << d << e;
        };
        for (auto [v, e] : std::initializer_list<std::pair<const char*, qint64>>{
                 {"12abc", 12},
                 {"", 0},
                 {"4 2", 42},
                 {"12.5", 12},
                 {"13.5", 14},
                 {"1e3", 1000},
                 {"-2.5", -2},
                 {"-3.5", -4},
                 {"\r5", 0},
                 {"+.5", 0},
                 {".51", 1},
                 {"1.2.3", 1},
                 {"1e", 1},
                 {"1e+2x", 100},
                 {"1E-400", 0},
                 {"abc", 0},
                 {"0.5000000000000000000001", 1},
                 {"2147483647", 2147483647},
                 {"-2147483648", -2147483648LL},
                 {"2147483646.5", 2147483646},
                 {"2147483647.5", overflow},
                 {"-2147483649", overflow},
                 {"1e10", overflow},
                 {"9e99999999999999999999", overflow}})
            row(v, QVariant(), e);
        row("", QVariant(9), 0);
        row(nullptr, QVariant(), 0);
        row(nullptr, QVariant(7), 7);
        row(nullptr, QVariant(2.5), 2);
        row(nullptr, QVariant("3.5"), 4);
        row(nullptr, QVariant("\t-\n3"), -3);
        row(nullptr, QVariant(3e9), overflow);
    }
    void readLong() {
        QFETCH(QString, value);
        QFETCH(QVariant, fallback);
        QFETCH(qint64, expected);
        clsINI ini;
        ini.LoadINI(path);
        ini.SetAllowSaveFile(false);
        if (!value.isNull())
            ini.WriteValue("S", "k", value);
        try {
            const qint32 result = ini.ReadLong("S", "k", fallback);
            QCOMPARE(result, expected);
        } catch (const std::overflow_error&) {
            QVERIFY2(expected < INT_MIN, "unexpected overflow");
        }
    }

    void allowSaveFile() {
        Write(path, "[S]\r\nk=old\r\n");
        clsINI ini;
        ini.LoadINI(path);
        QVERIFY(ini.AllowSaveFile());
        ini.SetAllowSaveFile(false);
        QVERIFY(!ini.AllowSaveFile());
        ini.WriteValue("S", "k", "new");
        ini.DeleteSection("T");
        ini.SaveFile();
        QCOMPARE(ini.ReadString("S", "k"), "new");
        ini.SetAllowSaveFile(true);
        QCOMPARE(Read(path), "[S]\r\nk=old\r\n");
        ini.SaveFile();
        QCOMPARE(Read(path), "[S]\r\nk=new\r\n");
    }

    // Not an ordinary file: nothing is loaded and nothing is reported.
    void notLoaded_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << "missing.ini";
        QTest::newRow("folder") << "folder";
        QTest::newRow("hidden") << ".hidden.ini";
    }
    void notLoaded() {
        QFETCH(QString, name);
        QDir(dir.path()).mkdir("folder");
        Write(dir.filePath(".hidden.ini"), "[S]\r\nk=v\r\n");
        QFileInfo hidden(dir.filePath(".hidden.ini"));
        if (name == ".hidden.ini" && !hidden.isHidden())
            QSKIP("no hidden files by name on this platform");
        clsINI ini;
        ini.LoadINI(dir.filePath(name));
        QCOMPARE(ini.ReadString("S", "k", "none"), "none");
        QCOMPARE(messages, QStringList());
    }

    // One message per change, the changes stay in memory.
    void saveFails_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("missing folder") << "no/such/folder/t.ini";
        QTest::newRow("empty name") << "";
        QTest::newRow("a folder") << ".";
    }
    void saveFails() {
        QFETCH(QString, file);
        clsINI ini;
        ini.LoadINI(file.isEmpty() ? file : dir.filePath(file));
        ini.WriteValue("S", "a", "1");
        ini.WriteValue("S", "b", "2");
        QCOMPARE(messages.size(), 2);
        for (const QString& m : messages)
            QVERIFY2(m.startsWith("16|" + SaveTitle + "|" + SavePrefix) &&
                         m.size() > 4 + SaveTitle.size() + SavePrefix.size(),
                     qPrintable(m));
        QCOMPARE(ini.ReadString("S", "a"), "1");
        QCOMPARE(ini.ReadString("S", "b"), "2");
    }

    // The settings file's folder vanishes between two changes: the second is reported once and
    // kept in memory, nothing is made in the folder's place, and the first change after the
    // folder is back writes the whole document.
    void folderVanishes_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");        // set to "2" while the folder is gone
        QTest::addColumn<QByteArray>("written"); // once T.c = 3 is set with the folder back
        QTest::newRow("value replaced") << "S"
                                        << "a" << QByteArray("[S]\r\na=2\r\n\r\n[T]\r\nc=3\r\n");
        QTest::newRow("key added") << "S"
                                   << "b" << QByteArray("[S]\r\na=1\r\nb=2\r\n\r\n[T]\r\nc=3\r\n");
        QTest::newRow("section added")
            << "R"
            << "a" << QByteArray("[S]\r\na=1\r\n\r\n[R]\r\na=2\r\n\r\n[T]\r\nc=3\r\n");
    }
    void folderVanishes() {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QByteArray, written);
        const QTemporaryDir own;
        const QString folder = own.filePath("settings");
        const QString file = folder + "/t.ini";
        QVERIFY(QDir().mkdir(folder));
        clsINI ini;
        ini.LoadINI(file);
        ini.WriteValue("S", "a", "1");
        QCOMPARE(Read(file), "[S]\r\na=1\r\n");

        QVERIFY(QDir(folder).removeRecursively());
        ini.WriteValue(section, key, "2");
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].startsWith("16|" + SaveTitle + "|" + SavePrefix) &&
                     messages[0].size() > 4 + SaveTitle.size() + SavePrefix.size(),
                 qPrintable(messages[0]));
        QCOMPARE(testfiles::Contents(own.path()), QStringList{});
        QCOMPARE(ini.ReadString(section, key), "2");

        QVERIFY(QDir().mkdir(folder));
        ini.WriteValue("T", "c", "3");
        QCOMPARE(messages.size(), 1);
        QCOMPARE(Read(file), written);
        QCOMPARE(testfiles::Contents(folder), QStringList{"t.ini"});
    }

    // A write cut short by a full disk (a file size limit) leaves the old file whole.
    void cutShortSave_data() {
        QTest::addColumn<int>("valueSize");
        QTest::newRow("buffered") << 5000;
        QTest::newRow("direct") << 100000;
    }
    void cutShortSave() {
#ifndef Q_OS_UNIX
        QSKIP("needs setrlimit");
#endif
        QFETCH(int, valueSize);
        const QTemporaryDir own;
        const QString path = own.filePath("t.ini");
        const QByteArray old = "[Old]\r\nk=v\r\n";
        Write(path, old);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--cut-short-save", path, QString::number(valueSize)});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        const QStringList out = QString::fromLocal8Bit(child.readAllStandardOutput()).split('\n');
        QCOMPARE(out.size(), 3);
        QVERIFY2(out[0].startsWith("16|" + SaveTitle + "|" + SavePrefix), qPrintable(out[0]));
        QCOMPARE(out[1], "kept=1");
        QCOMPARE(Read(path), old);
        QCOMPARE(testfiles::Contents(own.path()), QStringList{"t.ini"});
    }

    // A name or value with a line break would read back as something else: nothing is written.
    void lineBreakRefused_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        auto row = [](const char* name, const char* s, const char* k, const char* v) {
            QTest::newRow(name) << QString(s) << QString(k) << QString(v);
        };
        row("LF in value", "S", "k", "/tmp/new\nline");
        row("CR in value", "S", "n", "a\rb");
        row("key name", "S", "a\nb", "v");
        row("section name", "T\r\n", "k", "v");
    }
    void lineBreakRefused() {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        Write(path, "[S]\r\nk=old\r\n");
        clsINI ini;
        ini.LoadINI(path);
        ini.WriteValue(section, key, value);
        QCOMPARE(messages, QStringList{"16|" + SaveTitle +
                                       "|clsINI.WriteValue: the value holds a line break"});
        QCOMPARE(Read(path), "[S]\r\nk=old\r\n");
        QCOMPARE(ini.ReadString("S", "k"), "old");
        QCOMPARE(ini.ReadString(section, key, "none"),
                 section == "S" && key == "k" ? "old" : "none");
    }

    // Names and values of any bytes survive a change elsewhere byte for byte: as UTF-8 when the
    // file is valid UTF-8, one byte per character otherwise.
    void bytesRoundTrip_data() {
        QTest::addColumn<bool>("utf8");
        QTest::newRow("any bytes") << false;
        QTest::newRow("UTF-8") << true;
    }
    void bytesRoundTrip() {
        QFETCH(bool, utf8);
        QRandomGenerator random(utf8 ? 7 : 8);
        QByteArray kept;
        for (int s = 0; s < 500; ++s)
            kept += "\r\n[" + RandomText(random, false, utf8) + "]\r\n" +
                    RandomText(random, true, utf8) + "=" + RandomText(random, false, utf8) + "\r\n";
        Write(path, "[General]\r\nFolder=old\r\n" + kept);
        clsINI ini;
        ini.LoadINI(path);
        ini.WriteValue("General", "Folder", "new");
        QCOMPARE(Read(path), "[General]\r\nFolder=new\r\n" + kept);
        QCOMPARE(messages, QStringList());
    }

    // Loading places every key as the rule's scan from the start would: 2,000 random key lists,
    // one section each, of both kinds of name, of numbers only and of other names only.
    void keyOrderMatchesScan() {
        const QStringList numbers{"1",  "2",   "10", "9",          "-3", "2.5", "2.4",
                                  " 7", "1e2", "0",  "2147483647", "1.", "+4"};
        const QStringList names{"2147483648", "a",  "b",  "5a",     "10x",        "",
                                "A",          "ab", "x1", "\u00e9", "\U0001F600", "\uFF21"};
        QRandomGenerator random(12);
        QString file;
        QString expected;
        for (int round = 0; round < 2000; ++round) {
            const int kind = round % 3; // both, numbers only, names only
            QStringList arriving;
            const int count = random.bounded(round % 20 < 3 ? 600 : 40); // some long enough to nest
            for (int k = 0; k < count; ++k) {
                const bool number = kind == 1 || (kind == 0 && random.bounded(2) == 0);
                const QStringList& pool = number ? numbers : names;
                arriving << (number && random.bounded(2) == 0
                                 ? QString::number(random.bounded(-50, 50))
                                 : pool[random.bounded(pool.size())]);
            }
            const QString header = (round ? "\r\n[" : "[") + QString::number(round) + "]\r\n";
            file += header;
            expected += header;
            for (qsizetype k = 0; k < arriving.size(); ++k)
                file += arriving[k] + "=" + QString::number(k) + "\r\n";
            for (const int k : PlainScan(arriving))
                expected += arriving[k] + "=" + QString::number(k) + "\r\n";
        }
        Write(path, file.toUtf8());
        clsINI ini;
        ini.LoadINI(path);
        ini.SaveFile();
        QCOMPARE(Read(path), expected.toUtf8());
    }

    // The settings file stays beside the program when it is there or the folder is writable,
    // and goes to the user's folder otherwise, which the first save makes. The folder's
    // writability is given through the test's seam: the tests may run as root.
    void settingsPlace_data() {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<int>("writable"); // -1: the real test of the folder
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("beside");
        QTest::newRow("portable copy") << true << 1 << false << true;
        QTest::newRow("file in a read-only folder") << true << 0 << false << true;
        QTest::newRow("writable folder") << false << 1 << false << true;
        QTest::newRow("read-only folder") << false << 0 << false << false;
        QTest::newRow("writable folder, real test") << false << -1 << false << true;
        QTest::newRow("installed, run by root") << false << 1 << true << false;
        QTest::newRow("installed, a file left beside it") << true << 1 << true << false;
    }
    void settingsPlace() {
        QFETCH(bool, exists);
        QFETCH(int, writable);
        QFETCH(bool, installed);
        QFETCH(bool, beside);
        const QTemporaryDir own;
        const QString program = own.filePath("bin");
        const QString user = own.filePath("home/.config/Quillmarrow");
        const QString besideFile = program + QDir::separator() + "Quillmarrow.ini";
        QVERIFY(QDir().mkpath(program));
        if (exists)
            Write(besideFile, "[General]\r\nFolder=/old\r\n");
        const modSettingsFile::Place place =
            writable < 0
                ? modSettingsFile::Choose(program)
                : modSettingsFile::Choose(
                      program, user,
                      [&](const QString& folder) { return folder == program && writable == 1; },
                      installed);
        QCOMPARE(place.FileName, beside ? besideFile : user + "/Quillmarrow.ini");
        QCOMPARE(place.CreateFolder, !beside);

        clsINI ini;
        ini.LoadINI(place.FileName);
        ini.SetCreateFolder(place.CreateFolder);
        QVERIFY(!QFile::exists(own.filePath("home"))); // loading makes nothing
        ini.WriteValue("General", "Folder", "/new");
        QCOMPARE(Read(place.FileName), "[General]\r\nFolder=/new\r\n");
        QCOMPARE(place.Installed, installed);
        QCOMPARE(testfiles::Contents(program),
                 beside || exists ? QStringList{"Quillmarrow.ini"} : QStringList{});
        QCOMPARE(messages, QStringList());
    }

    // A program folder that cannot take the file (here one that does not exist) sends it to the
    // user's folder: %LOCALAPPDATA%\Quillmarrow on Windows, ~/.config/Quillmarrow elsewhere.
    void settingsInTheUsersFolder() {
        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName("Quillmarrow"); // as the program names itself
        const QTemporaryDir own;
        const modSettingsFile::Place place = modSettingsFile::Choose(own.filePath("missing"));
        QCoreApplication::setApplicationName(name);
#ifdef Q_OS_WIN
        const QString user = qEnvironmentVariable("LOCALAPPDATA");
#else
        const QString user = qEnvironmentVariable("XDG_CONFIG_HOME", QDir::homePath() + "/.config");
#endif
        QCOMPARE(QDir::fromNativeSeparators(place.FileName),
                 QDir::fromNativeSeparators(user) + "/Quillmarrow/Quillmarrow.ini");
        QVERIFY(place.CreateFolder);
    }

    // Which program folders are an installed copy's: on Windows one that the installer marked,
    // elsewhere the system's program folders, links resolved.
    void installedFolder_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("installed");
#ifdef Q_OS_WIN
        QTest::newRow("the installer's folder") << dir.filePath("installed") << true;
        QTest::newRow("an unpacked copy") << dir.path() << false;
#else
        QTest::newRow("/usr/bin") << "/usr/bin" << true;
        QTest::newRow("/usr/local/bin") << "/usr/local/bin" << true;
        QTest::newRow("/usr/bin with a trailing separator") << "/usr/bin/" << true;
        QTest::newRow("a link to /usr/bin") << dir.filePath("bin-link") << true;
        QTest::newRow("a folder of its own") << dir.path() << false;
        QTest::newRow("/usr") << "/usr" << false;
#endif
    }
    void installedFolder() {
        QFETCH(QString, folder);
        QFETCH(bool, installed);
#ifdef Q_OS_WIN
        QVERIFY(QDir().mkpath(dir.filePath("installed")));
        Write(dir.filePath("installed/Quillmarrow.installed"), "");
#else
        QFile::link("/usr/bin", dir.filePath("bin-link"));
#endif
        QCOMPARE(modSettingsFile::IsInstalled(folder), installed);
    }

#ifdef Q_OS_UNIX
    // As an ordinary user: a writable file in a read-only folder is saved in place; a file that
    // cannot be read is never written over; a file that cannot be made or written says why.
    void ordinaryUser_data() {
        QTest::addColumn<QString>("name"); // in the folder; a folder in the name is made
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<int>("fileMode"); // -1: no file
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QString>("message");
        QTest::newRow("read-only folder")
            << "t.ini" << 0555 << 0666 << QByteArray("[S]\r\nk=new\r\n") << "";
        QTest::newRow("unreadable file")
            << "t.ini" << 0777 << 0222 << QByteArray("[S]\r\nk=old\r\n")
            << "16|" + SaveTitle +
                   "|clsINI.SaveFile: the file could not be read when it was loaded, so it was "
                   "left unchanged";
        QTest::newRow("read-only folder, no file")
            << "t.ini" << 0555 << -1 << QByteArray()
            << "16|" + SaveTitle + "|" + SavePrefix + "Permission denied";
        QTest::newRow("its folder made in a read-only folder")
            << "sub/t.ini" << 0555 << -1 << QByteArray()
            << "16|" + SaveTitle + "|" + SavePrefix +
                   "cannot make the folder FOLDER/sub: Permission denied";
    }
    void ordinaryUser() {
        QFETCH(QString, name);
        QFETCH(int, folderMode);
        QFETCH(int, fileMode);
        QFETCH(QByteArray, written);
        QFETCH(QString, message);
        const QString folder = dir.filePath("user");
        const QString file = folder + "/" + name;
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        if (fileMode >= 0) {
            Write(file, "[S]\r\nk=old\r\n");
            QVERIFY(::chmod(QFile::encodeName(file), fileMode) == 0);
        }
        QVERIFY(::chmod(QFile::encodeName(dir.path()), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder), folderMode) == 0);
        const auto reported = AsOrdinaryUser([&] {
            clsINI ini;
            ini.LoadINI(file);
            ini.SetCreateFolder(true);
            ini.WriteValue("S", "k", "new");
        });
        ::chmod(QFile::encodeName(folder), 0755);
        if (fileMode >= 0)
            ::chmod(QFile::encodeName(file), 0644);
        if (!reported)
            QSKIP("cannot run as an ordinary user here");
        message.replace("FOLDER", QDir::toNativeSeparators(folder));
        QCOMPARE(*reported, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(Read(file), written);
        QCOMPARE(testfiles::Contents(folder), fileMode >= 0 ? QStringList{name} : QStringList());
    }
#endif
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--cut-short-save")
        return CutShortSave(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    TestClsIni test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_clsini.moc"
