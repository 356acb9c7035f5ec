// quillmarrow-cli as scripts use it: arguments in, bytes, files and an exit status out.

#include "FatFolder.h"
#include "TestFiles.h"
#include "Version.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <cstddef>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif

using testfiles::Files;
Q_DECLARE_METATYPE(Files)

namespace {

struct Result {
    int exitCode = -1;
    QByteArray out, err;
};

// A quillmarrow-cli for Windows refuses what Windows cannot store or reserves (a name ending in a
// space or full stop, ":", device names) and names its files through the ANSI code page,
// which is 1252 under Wine and on western systems.
constexpr bool Windows = QUILLMARROW_CLI_WINDOWS;

bool WindowsDevice(const QByteArray& name) {
    static const QRegularExpression device("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9]) *(\\.|$)",
                                           QRegularExpression::CaseInsensitiveOption);
    return device.match(QString::fromLatin1(name)).hasMatch();
}

#ifdef Q_OS_LINUX
// Installs a seccomp filter in this process; returns the listener's descriptor when `flags`
// ask for one.
long InstallSeccompFilter(sock_filter* filter, std::size_t length, unsigned flags = 0) {
    const sock_fprog program{static_cast<unsigned short>(length), filter};
    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    return ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, flags, &program);
}

// The descriptor under which a program started with RefuseUnnamedFiles(true) or
// HoldReadsFromTheStart keeps the listener.
constexpr int ListenerFd = 200;

// From here on, this process and the programs it runs see file systems without unnamed files:
// openat with O_TMPFILE fails with EOPNOTSUPP, as it does where they are not supported. With
// holdExclusiveCreates, each openat with O_EXCL also waits until the listener lets it go on
// (see TakeListener).
void RefuseUnnamedFiles(bool holdExclusiveCreates = false) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 5),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])), // flags, low half
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, O_TMPFILE & ~O_DIRECTORY, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, O_EXCL, 0, 1),
        BPF_STMT(BPF_RET | BPF_K,
                 holdExclusiveCreates ? SECCOMP_RET_USER_NOTIF : SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const long listener = InstallSeccompFilter(
        filter, std::size(filter), holdExclusiveCreates ? SECCOMP_FILTER_FLAG_NEW_LISTENER : 0);
    if (holdExclusiveCreates && listener >= 0)
        ::dup2(int(listener), ListenerFd);
}

// From here on, reads of 64 KiB or more from position `from` of a file on, as the archive's
// data is read, fail with EIO as on a failing disk; smaller ones (the program loader's) and
// those from before `from` (the directory's) go on.
void FailReadsFrom(std::uint32_t from) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_pread64, 0, 5),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])), // count, low half
        BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 65536, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[3])), // position, low half
        BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, from, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EIO),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    InstallSeccompFilter(filter, std::size(filter));
}

// From here on, each read (pread64) from the start of a file, as each walk of the directory
// begins, waits until the listener lets it go on (see TakeListener).
void HoldReadsFromTheStart() {
    constexpr auto Position = offsetof(seccomp_data, args[3]);
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_pread64, 0, 5),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, Position), // low half
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, Position + 4), // high half
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const long listener =
        InstallSeccompFilter(filter, std::size(filter), SECCOMP_FILTER_FLAG_NEW_LISTENER);
    if (listener >= 0)
        ::dup2(int(listener), ListenerFd);
}

// The listener of a program started with RefuseUnnamedFiles(true), or -1.
int TakeListener(qint64 pid) {
    const int process = int(::syscall(SYS_pidfd_open, pid, 0));
    const int listener = process < 0 ? -1 : int(::syscall(SYS_pidfd_getfd, process, ListenerFd, 0));
    if (process >= 0)
        ::close(process);
    return listener;
}

// Lets each call that a program's filter holds go on, after held(call), until the program ends.
void LetHeldCallsGoOn(QProcess& p, int listener,
                      const std::function<void(const seccomp_notif&)>& held) {
    QElapsedTimer waited;
    waited.start();
    while (!p.waitForFinished(0) && waited.elapsed() < 30000) {
        pollfd ready{listener, POLLIN, 0};
        seccomp_notif call{};
        if (::poll(&ready, 1, 10) != 1 || ::ioctl(listener, SECCOMP_IOCTL_NOTIF_RECV, &call))
            continue;
        held(call);
        seccomp_notif_resp go{};
        go.id = call.id;
        go.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
        ::ioctl(listener, SECCOMP_IOCTL_NOTIF_SEND, &go); // fails for an interrupted call
    }
    ::close(listener);
}

#endif

// Starts quillmarrow-cli, through the launcher when there is one.
void Start(QProcess& p, const QStringList& args) {
    QStringList command = QString(QUILLMARROW_TEST_LAUNCHER).split(' ', Qt::SkipEmptyParts);
    command << QUILLMARROW_CLI << args;
    p.start(command.takeFirst(), command);
}

// Runs quillmarrow-cli; a fileSizeLimit of 0 or more caps the size of every file it writes
// (RLIMIT_FSIZE), as a disk that fills up would, and a memoryLimit its address space
// (RLIMIT_AS); readsFailFrom makes reading the archive's data fail from there on (Linux only).
// A last argument ">FILE" sends standard output to FILE, one "<FILE" standard input from it.
Result Run(QStringList args, qint64 fileSizeLimit = -1, qint64 memoryLimit = -1,
           qint64 readsFailFrom = -1) {
    QProcess p;
    if (!args.isEmpty() && args.last().startsWith('>'))
        p.setStandardOutputFile(args.takeLast().mid(1));
    if (!args.isEmpty() && args.last().startsWith('<'))
        p.setStandardInputFile(args.takeLast().mid(1));
#ifdef Q_OS_UNIX
    p.setChildProcessModifier([fileSizeLimit, memoryLimit, readsFailFrom] {
        for (const auto& [resource, value] :
             {std::pair{RLIMIT_FSIZE, fileSizeLimit}, std::pair{RLIMIT_AS, memoryLimit}})
            if (value >= 0) {
                const rlimit limit{rlim_t(value), rlim_t(value)};
                ::setrlimit(resource, &limit);
            }
        // A Windows program cannot ignore the signal itself; ignored, the write fails and
        // Wine passes the error on to the program.
        if (Windows && fileSizeLimit >= 0)
            std::signal(SIGXFSZ, SIG_IGN);
#ifdef Q_OS_LINUX
        if (readsFailFrom >= 0)
            FailReadsFrom(std::uint32_t(readsFailFrom));
#endif
    });
#endif
    Start(p, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

#ifdef Q_OS_UNIX
constexpr bool Unix = true;
bool Root() {
    return ::geteuid() == 0;
} // permissions do not hold root back
#else
constexpr bool Unix = false;
bool Root() {
    return false;
}
#endif

#ifdef Q_OS_LINUX
// What the open files of a running process are (the targets of /proc/PID/fd).
std::vector<std::string> OpenFiles(qint64 pid) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& fd :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec))
        files.push_back(std::filesystem::read_symlink(fd.path(), ec).string());
    return files;
}
#endif

// The test archive: two entries named TEXT.TXT, a hyphen name, an unsafe name and a cut one.
QByteArray Archive() {
    using testfiles::Record;
    return Record("TEXT.TXT", 120, 3) + Record("-DASH", 123, 2) + Record("TEXT.TXT", 125, 4) +
           Record("a/b", 120, 1) + Record("CUT", 127, 50) + Record("", 0, 0) + "onetwthreZZ";
}

// Names that a terminal would act on or that are not UTF-8, all unsafe as file names.
QByteArray EscapeArchive() {
    using testfiles::Record;
    return Record("a\nb", 140, 1) + Record("\x1b]0;X\x07", 140, 1) + Record("back\\slash", 140, 1) +
           Record("\xff\xc3\x01", 140, 1) + Record("caf\xc3\xa9\x7f", 140, 1) +
           Record("\xc2\x9b\x32J/", 140, 1) + Record("", 0, 0) + "x";
}

// A folder whose path is longer than Windows' MAX_PATH (260 characters), below the test folder.
const QString LongFolder = QString("/%1/%1/%1").arg(QString(100, 'd'));

// One of each finding of check that a.dat has not.
QByteArray CheckArchive() {
    using testfiles::Record;
    return Record("ABC", 0, 1) + Record("abc", -1, 1) + Record("CON", 100, -2) +
           Record("X", 0, 0).left(15);
}

// Enough entries that their long listing fills several write buffers.
QByteArray ManyEntries() {
    QList<QPair<QByteArray, QByteArray>> entries;
    for (int k = 0; k < 5000; ++k)
        entries.append({"E" + QByteArray::number(k), {}});
    return testfiles::Archive(entries);
}

// A checksum line as sha256sum and its kin write it for a name without \\, LF or CR.
QByteArray SumLine(const QByteArray& data, const QByteArray& name,
                   QCryptographicHash::Algorithm algorithm = QCryptographicHash::Sha256) {
    return QCryptographicHash::hash(data, algorithm).toHex() + "  " + name + '\n';
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private:
    QTemporaryDir root;
    QString folder() const { return root.filePath("out"); }

#ifdef Q_OS_LINUX
    // 3,000 entries of a few bytes, signalled at random moments: every file left is whole.
    void interruptSmallEntries(int signal, bool unnamed) {
        QList<QPair<QByteArray, QByteArray>> entries;
        for (int k = 0; k < 3000; ++k)
            entries.append({"S" + QByteArray::number(k), "small " + QByteArray::number(k)});
        const QString archive = root.filePath("small.dat");
        testfiles::Write(archive, testfiles::Archive(entries));
        QRandomGenerator rng(20261209);
        int ended = 0;
        for (int run = 0; run < 12; ++run) {
            QDir(folder()).removeRecursively();
            QDir().mkpath(folder());
            QProcess p;
            if (!unnamed)
                p.setChildProcessModifier([] { RefuseUnnamedFiles(); });
            p.start(QUILLMARROW_CLI, {"extract", archive, folder()});
            QVERIFY(p.waitForStarted());
            QElapsedTimer waited;
            waited.start();
            while (QDir(folder()).isEmpty() && !p.waitForFinished(0) && waited.elapsed() < 30000)
                ::usleep(100);
            ::usleep(rng.bounded(100000));
            ::kill(static_cast<pid_t>(p.processId()), signal);
            QVERIFY(p.waitForFinished(60000));
            ended += p.exitStatus() == QProcess::CrashExit;
            for (const auto& [name, bytes] : testfiles::FilesIn(folder()).asKeyValueRange())
                QVERIFY2(name.startsWith('S') &&
                             bytes == "small " + QStringView(name).mid(1).toLatin1(),
                         qPrintable(name));
        }
        QVERIFY(ended > 0);
    }

    // A file of the program's first temporary name is there before it starts: the signal that
    // comes while the program tries that name leaves it alone.
    void interruptWithTemporaryNameTaken(int signal) {
        const QString archive = root.filePath("big.dat");
        testfiles::Write(archive, testfiles::Archive({{ "BIG", QByteArray(300000, 'b') }}));
        const QByteArray taken = QFile::encodeName(folder()) + "/.quillmarrow-%1-0.part";
        QProcess p;
        p.setChildProcessModifier([taken] {
            const QByteArray path = QByteArray(taken).replace("%1", QByteArray::number(::getpid()));
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0666);
            ::write(fd, "theirs", 6);
            ::close(fd);
            RefuseUnnamedFiles(true);
        });
        p.start(QUILLMARROW_CLI, {"extract", archive, folder()});
        QVERIFY(p.waitForStarted());
        const qint64 pid = p.processId();
        const int listener = TakeListener(pid);
        if (listener < 0) {
            p.kill();
            QSKIP("needs seccomp's user notification and pidfd_getfd (Linux 5.6)");
        }
        // Each exclusive create waits for the test; the signal comes while the first waits.
        bool signalled = false;
        LetHeldCallsGoOn(p, listener, [&](const seccomp_notif&) {
            if (!std::exchange(signalled, true))
                ::kill(static_cast<pid_t>(pid), signal);
        });
        QVERIFY(signalled);
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        const QString name = QString(".quillmarrow-%1-0.part").arg(pid);
        QCOMPARE(testfiles::FilesIn(folder()), (Files{{ name, "theirs" }}));
    }
#endif

private slots:
    void init() {
        QDir(folder()).removeRecursively();
        QVERIFY(QDir().mkpath(folder()));
        testfiles::Write(root.filePath("a.dat"), Archive());
        testfiles::Write(root.filePath("-odd.dat"), testfiles::Archive({{"ODD", "o"}}));
        testfiles::Write(root.filePath("esc.dat"), EscapeArchive());
        testfiles::Write(root.filePath("bad.dat"), CheckArchive());
        testfiles::Write(root.filePath("many.dat"), ManyEntries());
        // For sums, verify, diff and find.
        using testfiles::Record;
        testfiles::Write(root.filePath("sums.dat"),
                         testfiles::Archive({{"CHECK", "123456789"}, {"\xff", "123456789"}}));
        testfiles::Write(root.filePath("good.sum"),
                         "# a.dat\n\n" + SumLine("one", "TEXT.TXT") +
                             SumLine("tw", "-DASH").replace("  ", " *") +
                             SumLine("thre", "TEXT.TXT").replace("\n", "\r\n") +
                             SumLine("o", "a/b", QCryptographicHash::Md5).replace("  ", " "));
        const QByteArray x = QCryptographicHash::hash("x", QCryptographicHash::Sha256).toHex();
        testfiles::Write(root.filePath("esc.sum"), "\\" + x.toUpper() + "  a\\nb\n\\" + x +
                                                       "  back\\\\slash\n\\" + x +
                                                       "  bad\\tescape\n" + x.left(63) +
                                                       "  \x1b]0;X\x07\n" + x + " *caf\xc3\xa9\x7f\n");
        testfiles::Write(root.filePath("bad.sum"), SumLine("thre", "TEXT.TXT") +
                                                       SumLine("one", "TEXT.TXT") + "xyz  -DASH\n" +
                                                       SumLine("g", "GONE") + SumLine("", "CUT"));
        testfiles::Write(root.filePath("old.dat"),
                         testfiles::Archive({{"TEXT.TXT", "one"}, {"-DASH", "tw"},
                                             {"TEXT.TXT", "thre"}, {"GONE", "g"}}));
        testfiles::Write(root.filePath("relaid.dat"), Record("TEXT.TXT", 110, 3) +
                                                          Record("-DASH", 108, 2) +
                                                          Record("TEXT.TXT", 104, 4) +
                                                          Record("GONE", 100, 1) +
                                                          Record("", 0, 0) + "g---thretwone");
        testfiles::Write(root.filePath("new.dat"),
                         testfiles::Archive({{"-DASH", "tw"}, {"TEXT.TXT", "ONE"}, {"NEW", "n"},
                                             {"TEXT.TXT", "THRE"}}));
        QDir().mkpath(root.filePath("found/sub"));
        testfiles::Write(root.filePath("found/x.dat"),
                         testfiles::Archive({{"TEXT.TXT", "one"}, {"B", "b"}}));
        testfiles::Write(root.filePath("found/sub/y.dat"),
                         testfiles::Archive({{"A", "a"}, {"text.txt", "two"}}));
        testfiles::Write(root.filePath("found/bad.dat"), CheckArchive());
        testfiles::Write(root.filePath("c1.dat"), testfiles::Archive({{"a\xc2\x85", "x"}}));
        // café.txt and CAFÉ.TXT in 1252, a byte 1252 has no character for, é in UTF-8.
        testfiles::Write(root.filePath("names.dat"),
                         testfiles::Archive({{"caf\xe9.txt", "a"}, {"\x81X", "b"},
                                             {"utf\xc3\xa9.txt", "c"}}));
        testfiles::Write(root.filePath("fold.dat"),
                         testfiles::Archive({{"caf\xe9.txt", "a"}, {"CAF\xc9.TXT", "b"}}));
        QVERIFY(QDir().mkpath(root.path() + LongFolder));
        testfiles::Write(root.path() + LongFolder + "/a.dat", Archive());
#ifdef Q_OS_UNIX
        if (!Windows) // a link to a folder, which find does not follow
            QFile::link("sub", root.filePath("found/link"));
        if (!QFile::exists(root.filePath("fifo")))
            QCOMPARE(::mkfifo(QFile::encodeName(root.filePath("fifo")).constData(), 0600), 0);
        // A socket, which exists but which no one opens, root or not.
        if (!QFile::exists(root.filePath("socket"))) {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const QByteArray path = QFile::encodeName(root.filePath("socket"));
            QVERIFY(std::size_t(path.size()) < sizeof address.sun_path);
            std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
            const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
            QCOMPARE(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            ::close(s);
        }
        QDir().mkpath(root.filePath("locked")); // empty and closed to everyone but root
        QFile::setPermissions(root.filePath("locked"), {});
#endif
    }

    void run_data() {
        QTest::addColumn<QStringList>("args"); // "@" stands for the test folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err"); // the start of standard error; all of it when
                                             // it ends in a line feed and the exit code is 0 or 1
        QTest::addColumn<Files>("files");    // what the output folder holds afterwards
        const QByteArray usage = "usage: quillmarrow-cli list [-l|--long|--json] ARCHIVE\n";

        QTest::newRow("list") << QStringList{"list", "@/a.dat"} << 0
                              << QByteArray("TEXT.TXT\n-DASH\nTEXT.TXT\na/b\nCUT\n") << QByteArray()
                              << Files{};
        QTest::newRow("list -l") << QStringList{"list", "-l", "@/a.dat"} << 0
                                 << QByteArray(
                                        "0\t120\t3\tTEXT.TXT\n1\t123\t2\t-DASH\n"
                                        "2\t125\t4\tTEXT.TXT\n3\t120\t1\ta/b\n4\t127\t50\tCUT\n")
                                 << QByteArray() << Files{};
        QTest::newRow("list --long") << QStringList{"list", "--long", "@/-odd.dat"} << 0
                                     << QByteArray("0\t40\t1\tODD\n") << QByteArray() << Files{};
        QTest::newRow("-- before an archive named with a hyphen")
            << QStringList{"list", "--", "@/-odd.dat"} << 0 << QByteArray("ODD\n") << QByteArray()
            << Files{};
        QTest::newRow("--version")
            << QStringList{"--version"} << 0
            << QByteArray("quillmarrow-cli " QUILLMARROW_VERSION "\n") << QByteArray() << Files{};
        QTest::newRow("no arguments")
            << QStringList{} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: no command given\n" + usage) << Files{};
        QTest::newRow("unknown command")
            << QStringList{"show", "@/a.dat"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: unknown command: show\n") << Files{};
        QTest::newRow("unknown option") << QStringList{"list", "-x", "@/a.dat"} << 2 << QByteArray()
                                        << QByteArray("quillmarrow-cli: unknown option") << Files{};
        QTest::newRow("list without archive")
            << QStringList{"list"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: list takes one ARCHIVE\n") << Files{};
        QTest::newRow("a path in a message as typed: no separator doubled on Windows")
            << QStringList{"list", "@\\none.dat"} << 2 << QByteArray()
            << "quillmarrow-cli: @" + QByteArray(Windows ? "\\" : "\\\\") +
                   "none.dat: the archive does not exist\n"
            << Files{};
        QTest::newRow("list and extract of paths longer than 260 characters")
            << QStringList{"extract", "-v", "@" + LongFolder + "/a.dat", "@" + LongFolder, "1"}
            << 0 << QByteArray() << QByteArray("-DASH\n") << Files{};
        QTest::newRow("list of a missing archive")
            << QStringList{"list", "@/none.dat"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: @/none.dat: the archive does not exist\n") << Files{};

        QTest::newRow("extract by position")
            << QStringList{"extract", "@/a.dat", "@/out", "1"} << 0 << QByteArray() << QByteArray()
            << Files{{"-DASH", "tw"}};
        QTest::newRow("extract by name takes every entry of that name; the later one wins")
            << QStringList{"extract", "@/a.dat", "@/out", "TEXT.TXT"} << 1 << QByteArray()
            << QByteArray("quillmarrow-cli: TEXT.TXT: replaced by entry 2, which has the same "
                          "name\n")
            << Files{{"TEXT.TXT", "thre"}};
        QTest::newRow("extract positions and a name: each entry once, in directory order")
            << QStringList{"extract", "@/a.dat", "@/out", "2", "TEXT.TXT", "1"} << 1 << QByteArray()
            << QByteArray("quillmarrow-cli: TEXT.TXT: replaced by entry 2, which has the same "
                          "name\n")
            << Files{{"TEXT.TXT", "thre"}, {"-DASH", "tw"}};
        QTest::newRow("extract -k keeps the file of an earlier entry of the same name")
            << QStringList{"extract", "-k", "@/a.dat", "@/out", "TEXT.TXT"} << 0 << QByteArray()
            << QByteArray("quillmarrow-cli: TEXT.TXT: kept the existing file\n")
            << Files{{"TEXT.TXT", "one"}};
        QTest::newRow("extract a name beginning with a hyphen after --")
            << QStringList{"extract", "--", "@/a.dat", "@/out", "-DASH"} << 0 << QByteArray()
            << QByteArray() << Files{{"-DASH", "tw"}};
        QTest::newRow("extract everything reports the problems and goes on")
            << QStringList{"extract", "@/a.dat", "@/out"} << 1 << QByteArray()
            << QByteArray("quillmarrow-cli: TEXT.TXT: replaced by entry 2, which has the same "
                          "name\n"
                          "quillmarrow-cli: a/b: unsafe name (contains a path separator)\n"
                          "quillmarrow-cli: CUT: cut short by the end of the archive (4 of 50 "
                          "bytes written)\n")
            << Files{{"TEXT.TXT", "thre"}, {"-DASH", "tw"}, {"CUT", "reZZ"}};
        QTest::newRow("extract a position out of range: no entry matches, the others are written")
            << QStringList{"extract", "@/a.dat", "@/out", "1", "5"} << 1 << QByteArray()
            << QByteArray("quillmarrow-cli: 5: no entry matches\n") << Files{{"-DASH", "tw"}};
        QTest::newRow("extract an unknown name: no entry matches, the others are written")
            << QStringList{"extract", "@/a.dat", "@/out", "1", "NOPE"} << 1 << QByteArray()
            << QByteArray("quillmarrow-cli: NOPE: no entry matches\n") << Files{{"-DASH", "tw"}};
        QTest::newRow("extract a pattern that matches nothing")
            << QStringList{"extract", "@/a.dat", "@/out", "*.WAV", "1"} << 1 << QByteArray()
            << QByteArray("quillmarrow-cli: *.WAV: no entry matches\n") << Files{{"-DASH", "tw"}};
        QTest::newRow("extract a pattern with a set and an escape")
            << QStringList{"extract", "@/a.dat", "@/out", "[-]DA\\S?"} << 0 << QByteArray()
            << QByteArray() << Files{{"-DASH", "tw"}};
        QTest::newRow("extract --exclude drops what it matches, also from every entry")
            << QStringList{"extract", "--exclude", "*.TXT", "--exclude=a?b", "@/a.dat", "@/out"}
            << 1 << QByteArray()
            << QByteArray("quillmarrow-cli: CUT: cut short by the end of the archive (4 of 50 "
                          "bytes written)\n")
            << Files{{"-DASH", "tw"}, {"CUT", "reZZ"}};
        QTest::newRow("extract -i folds case in names, patterns and excludes")
            << QStringList{"extract", "-i", "--exclude=t*", "@/a.dat", "@/out", "-dash", "*t*"} << 1
            << QByteArray()
            << QByteArray("quillmarrow-cli: CUT: cut short by the end of the archive (4 of 50 "
                          "bytes written)\n")
            << Files{{"-DASH", "tw"}, {"CUT", "reZZ"}};
        QTest::newRow("extract a position with any number of leading zeros")
            << QStringList{"extract", "@/a.dat", "@/out", "00000000001"} << 0 << QByteArray()
            << QByteArray() << Files{{"-DASH", "tw"}};
        QTest::newRow("extract a position past every number matches nothing")
            << QStringList{"extract", "@/a.dat", "@/out", "99999999999999999999999"} << 1
            << QByteArray()
            << QByteArray("quillmarrow-cli: 99999999999999999999999: no entry matches\n")
            << Files{};
        QTest::newRow("extract a position with letters after the digits")
            << QStringList{"extract", "@/a.dat", "@/out", "1x"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: not a position: 1x\n") << Files{};
        QTest::newRow("extract into a missing folder")
            << QStringList{"extract", "@/a.dat", "@/none"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: @/none: the folder does not exist\n") << Files{};
        QTest::newRow("extract from a missing archive")
            << QStringList{"extract", "@/none.dat", "@/out"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: @/none.dat: the archive does not exist\n") << Files{};

        // Messages say what a path that cannot be used is.
        QTest::newRow("list of a folder")
            << QStringList{"list", "@/out"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: @/out: is a folder\n") << Files{};
        QTest::newRow("list of a device")
            << QStringList{"list", "/dev/zero"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: /dev/zero: is not a regular file\n") << Files{};
        QTest::newRow("list of a FIFO")
            << QStringList{"list", "@/fifo"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: @/fifo: is not a regular file\n") << Files{};
        QTest::newRow("list of a socket")
            << QStringList{"list", "@/socket"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: @/socket: is not a regular file\n") << Files{};
        QTest::newRow("list of a folder that may not be read")
            << QStringList{"list", "@/locked"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: @/locked: is a folder\n") << Files{};
        QTest::newRow("list in a folder that may not be searched")
            << QStringList{"list", "@/locked/a.dat"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: @/locked/a.dat: permission denied\n") << Files{};
        QTest::newRow("extract into a file")
            << QStringList{"extract", "@/a.dat", "@/-odd.dat", "0"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: @/-odd.dat: is not a folder\n") << Files{};
        QTest::newRow("extract into a folder that may not be written")
            << QStringList{"extract", "@/a.dat", "@/locked"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: @/locked: permission denied\n") << Files{};

        // Messages escape control bytes, bytes that are not text and the backslash, so that a
        // problem stays one line and nothing reaches the terminal as a command. On Windows a
        // byte is text when the ANSI code page (1252) has a character for it, as the file
        // extraction writes is named, and messages go out in that code page; the backslash is
        // the separator there, never doubled.
        const QByteArray control = ": unsafe name (contains a control character)\n";
        const QByteArray separator = ": unsafe name (contains a path separator)\n";
        QTest::newRow("message with a line feed in a name")
            << QStringList{"extract", "@/esc.dat", "@/out", "0"} << 1 << QByteArray()
            << "quillmarrow-cli: a\\x0ab" + control << Files{};
        QTest::newRow("message with a terminal command in a name")
            << QStringList{"extract", "@/esc.dat", "@/out", "1"} << 1 << QByteArray()
            << "quillmarrow-cli: \\x1b]0;X\\x07" + control << Files{};
        QTest::newRow("message with a backslash in a name")
            << QStringList{"extract", "@/esc.dat", "@/out", "2"} << 1 << QByteArray()
            << "quillmarrow-cli: back" + QByteArray(Windows ? "\\" : "\\\\") + "slash" + separator
            << Files{};
        QTest::newRow("message with bytes that are not UTF-8")
            << QStringList{"extract", "@/esc.dat", "@/out", "3"} << 1 << QByteArray()
            << QByteArray(Windows ? "quillmarrow-cli: \xff\xc3\\x01" : "quillmarrow-cli: \\xff\\xc3\\x01") +
                   control
            << Files{};
        QTest::newRow("message keeps UTF-8 letters and escapes DEL")
            << QStringList{"extract", "@/esc.dat", "@/out", "4"} << 1 << QByteArray()
            << "quillmarrow-cli: caf\xc3\xa9\\x7f" + control << Files{};
        QTest::newRow("message escapes the UTF-8 form of a C1 control")
            << QStringList{"extract", "@/esc.dat", "@/out", "5"} << 1 << QByteArray()
            << QByteArray(Windows ? "quillmarrow-cli: \xc2\x9b" "2J/" : "quillmarrow-cli: \\xc2\\x9b2J/") +
                   control
            << Files{};
        QTest::newRow("message with a line feed in a path")
            << QStringList{"list", "@/new\nline.dat"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: @/new\\x0aline.dat: ") << Files{};
        QTest::newRow("list writes names as they are stored")
            << QStringList{"list", "@/esc.dat"} << 0
            << QByteArray("a\nb\n\x1b]0;X\x07\nback\\slash\n\xff\xc3\x01\ncaf\xc3\xa9\x7f\n"
                          "\xc2\x9b\x32J/\n")
            << QByteArray() << Files{};

        QTest::newRow("list --json: escapes, null for names that are not text, hex always")
            << QStringList{"list", "--json", "@/esc.dat"} << 0
            << QByteArray("{\"index\":0,\"offset\":140,\"size\":1,\"name\":\"a\\u000ab\","
                          "\"name_hex\":\"610a62\"}\n"
                          "{\"index\":1,\"offset\":140,\"size\":1,\"name\":\"\\u001b]0;X\\u0007\","
                          "\"name_hex\":\"1b5d303b5807\"}\n"
                          "{\"index\":2,\"offset\":140,\"size\":1,\"name\":\"back\\\\slash\","
                          "\"name_hex\":\"6261636b5c736c617368\"}\n"
                          "{\"index\":3,\"offset\":140,\"size\":1,\"name\":" +
                          // On Windows the 1252 readings: ÿÃ, cafÃ©, Â› (all text).
                          QByteArray(Windows ? "\"\xc3\xbf\xc3\x83\\u0001\"" : "null") +
                          ",\"name_hex\":\"ffc301\"}\n{\"index\":4,\"offset\":140,\"size\":1,"
                          "\"name\":\"caf" + QByteArray(Windows ? "\xc3\x83\xc2\xa9" : "\xc3\xa9") +
                          "\x7f\",\"name_hex\":\"636166c3a97f\"}\n{\"index\":5,\"offset\":140,"
                          "\"size\":1,\"name\":\"" + QByteArray(Windows ? "\xc3\x82\xe2\x80\xba" : "\xc2\x9b") +
                          "2J/\",\"name_hex\":\"c29b324a2f\"}\n")
            << QByteArray() << Files{};

        // One spelling of a name: on Windows the 1252 reading of its bytes, as extract names the
        // file; bytes the code page has no character for are escaped, null in JSON.
        QTest::newRow("cat -v names each entry as its file is named")
            << QStringList{"cat", "-v", "@/names.dat", "0", "1", "2"} << 0 << QByteArray("abc")
            << "caf" + QByteArray(Windows ? "\xe9" : "\\xe9") + ".txt\n\\x81X\nutf\xc3\xa9.txt\n"
            << Files{};
        QTest::newRow("list --json: name is the name of the file extract writes")
            << QStringList{"list", "--json", "@/names.dat"} << 0
            << "{\"index\":0,\"offset\":80,\"size\":1,\"name\":" +
                   QByteArray(Windows ? "\"caf\xc3\xa9.txt\"" : "null") +
                   ",\"name_hex\":\"636166e92e747874\"}\n"
                   "{\"index\":1,\"offset\":81,\"size\":1,\"name\":null,\"name_hex\":\"8158\"}\n"
                   "{\"index\":2,\"offset\":82,\"size\":1,\"name\":\"utf" +
                   QByteArray(Windows ? "\xc3\x83\xc2\xa9" : "\xc3\xa9") +
                   ".txt\",\"name_hex\":\"757466c3a92e747874\"}\n"
            << QByteArray() << Files{};
        QTest::newRow("check: names equal when Windows folds case, there")
            << QStringList{"check", "@/fold.dat"} << (Windows ? 1 : 0)
            << (Windows ? QByteArray("@/fold.dat: entry 1 CAF\xc9.TXT: the same name as entry 0 "
                                     "when case is folded\n@/fold.dat: 2 entries, 1 problem, 0 "
                                     "notes\n")
                        : QByteArray("@/fold.dat: 2 entries, 0 problems, 0 notes\n"))
            << QByteArray() << Files{};
        QTest::newRow("cat -i of a name and a pattern: Windows folds case beyond ASCII")
            << QStringList{"cat", "-i", "@/fold.dat", u"CAF\u00c9.TXT"_qs, u"caf\u00c9.*"_qs}
            << (Windows ? 0 : 1) << QByteArray(Windows ? "abab" : "")
            << QByteArray(Windows ? "" : "quillmarrow-cli: CAF\xc3\x89.TXT: no entry matches\n"
                                         "quillmarrow-cli: caf\xc3\x89.*: no entry matches\n")
            << Files{};

        // cat: the data of the entries in the order given, problems as extract reports them.
        QTest::newRow("cat writes the entries in the order given")
            << QStringList{"cat", "@/a.dat", "1", "TEXT.TXT"} << 0 << QByteArray("twonethre")
            << QByteArray() << Files{};
        QTest::newRow("cat of a cut-short entry writes what there is")
            << QStringList{"cat", "@/a.dat", "CUT", "NOPE"} << 1 << QByteArray("reZZ")
            << QByteArray("quillmarrow-cli: NOPE: no entry matches\n"
                          "quillmarrow-cli: CUT: cut short by the end of the archive (4 of 50 "
                          "bytes written)\n")
            << Files{};
        QTest::newRow("cat -i of a class: the class takes bytes as they are")
            << QStringList{"cat", "-i", "@/a.dat", "[[:lower:]]*"} << 0 << QByteArray("o")
            << QByteArray() << Files{};
        QTest::newRow("cat -v of a pattern, and of a negative offset")
            << QStringList{"cat", "-v", "@/bad.dat", "?BC", "abc"} << 1 << QByteArray("A")
            << QByteArray("ABC\nquillmarrow-cli: abc: negative offset -1\n") << Files{};
        QTest::newRow("extract -v names each entry as it is written")
            << QStringList{"extract", "-v", "@/a.dat", "@/out", "1", "0"} << 0 << QByteArray()
            << QByteArray("TEXT.TXT\n-DASH\n") << Files{{"TEXT.TXT", "one"}, {"-DASH", "tw"}};

        // check: problems, then notes (prefixed so), then one summary line per archive.
        QTest::newRow("check finds a name twice, an unsafe name, overlaps and data past the end")
            << QStringList{"check", "@/a.dat"} << 1
            << QByteArray("@/a.dat: entry 3 a/b: unsafe name (contains a path separator)\n"
                          "@/a.dat: entry 4 CUT: data past the end of the archive (ends at byte "
                          "177 of 131)\n"
                          "@/a.dat: entry 3 a/b: note: its data overlaps that of entry 0\n"
                          "@/a.dat: entry 4 CUT: note: its data overlaps that of entry 2\n"
                          "@/a.dat: entry 2 TEXT.TXT: the same name as entry 0\n"
                          "@/a.dat: 5 entries, 3 problems, 2 notes\n")
            << QByteArray() << Files{};
        QTest::newRow("check finds negative ranges, Windows names, names equal in other case")
            << QStringList{"check", "@/bad.dat"} << 1
            << QByteArray("@/bad.dat: entry 1 abc: negative offset -1\n"
                          "@/bad.dat: entry 2 CON: negative size -2\n"
                          "@/bad.dat: entry 2 CON: unsafe name (a device name Windows reserves) "
                          "on Windows\n"
                          "@/bad.dat: entry 3 X: its directory record is cut short by the end of "
                          "the archive\n"
                          "@/bad.dat: entry 0 ABC: note: its data overlaps the directory\n"
                          "@/bad.dat: entry 1 abc: the same name as entry 0 when case is folded\n"
                          "@/bad.dat: 4 entries, 5 problems, 1 note\n")
            << QByteArray() << Files{};
        QTest::newRow("check finds a C1 control in a name")
            << QStringList{"check", "@/c1.dat"} << 1
            << "@/c1.dat: entry 0 a" + QByteArray(Windows ? "\xc2\x85" : "\\xc2\\x85") +
                   ": unsafe name (contains a control character)\n@/c1.dat: 1 entry, 1 problem, "
                   "0 notes\n"
            << QByteArray() << Files{};
        QTest::newRow("check of a sound archive, then of a missing one")
            << QStringList{"check", "@/-odd.dat", "@/none.dat"} << 2
            << QByteArray("@/-odd.dat: 1 entry, 0 problems, 0 notes\n")
            << QByteArray("quillmarrow-cli: @/none.dat: the archive does not exist\n") << Files{};

        // sums: lines as sha256sum writes them; an entry that cannot be read whole gets none.
        const QByteArray cut = "quillmarrow-cli: CUT: cut short by the end of the archive (4 of 50 "
                               "bytes written)\n";
        QTest::newRow("sums: a line per entry, a name twice, a cut-short entry left out")
            << QStringList{"sums", "@/a.dat"} << 1
            << SumLine("one", "TEXT.TXT") + SumLine("tw", "-DASH") + SumLine("thre", "TEXT.TXT") +
                   SumLine("o", "a/b")
            << cut << Files{};
        QTest::newRow("sums -a md5 of a pattern and a position, in directory order")
            << QStringList{"sums", "-a", "md5", "@/a.dat", "1", "T*"} << 0
            << SumLine("one", "TEXT.TXT", QCryptographicHash::Md5) +
                   SumLine("tw", "-DASH", QCryptographicHash::Md5) +
                   SumLine("thre", "TEXT.TXT", QCryptographicHash::Md5)
            << QByteArray() << Files{};
        QTest::newRow("sums --algorithm=sha1 --exclude")
            << QStringList{"sums", "--algorithm=sha1", "--exclude=[T-]*", "@/a.dat", "1", "a?b"}
            << 0 << SumLine("o", "a/b", QCryptographicHash::Sha1) << QByteArray() << Files{};
        QTest::newRow("sums -acrc32 --json: the CRC-32 check value, a name that is not UTF-8")
            << QStringList{"sums", "-acrc32", "--json", "@/sums.dat"} << 0
            << QByteArray("{\"index\":0,\"name\":\"CHECK\",\"name_hex\":\"434845434b\","
                          "\"size\":9,\"crc32\":\"cbf43926\"}\n"
                          "{\"index\":1,\"name\":" +
                          QByteArray(Windows ? "\"\xc3\xbf\"" : "null") + // ÿ in 1252
                          ",\"name_hex\":\"ff\",\"size\":9,\"crc32\":\"cbf43926\"}\n")
            << QByteArray() << Files{};
        QTest::newRow("sums of negative ranges and a cut record")
            << QStringList{"sums", "@/bad.dat"} << 1 << SumLine("A", "ABC")
            << QByteArray("quillmarrow-cli: abc: negative offset -1\n"
                          "quillmarrow-cli: CON: negative size -2\n"
                          "quillmarrow-cli: X: its directory record is cut short by the end of the "
                          "archive\n")
            << Files{};
        QTest::newRow("sums of an unknown algorithm")
            << QStringList{"sums", "-a", "sha512", "@/a.dat"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: unknown algorithm: sha512 (sha256, sha1, md5 or "
                          "crc32)\n")
            << Files{};

        // verify: the n-th line of a name for the n-th entry, the algorithm by the digest's
        // length, a '*' before the name, comments, blank lines and CR LF.
        QTest::newRow("verify -v: every listed entry OK")
            << QStringList{"verify", "-v", "@/a.dat", "@/good.sum"} << 0
            << QByteArray("TEXT.TXT: OK\n-DASH: OK\nTEXT.TXT: OK\na/b: OK\nCUT: not listed\n"
                          "@/a.dat: 4 OK, 0 failed, 0 missing, 1 not listed\n")
            << QByteArray() << Files{};
        QTest::newRow("verify --strict: an entry not listed fails")
            << QStringList{"verify", "--strict", "@/a.dat", "@/good.sum"} << 1
            << QByteArray("CUT: not listed\n@/a.dat: 4 OK, 0 failed, 0 missing, 1 not listed\n")
            << QByteArray() << Files{};
        QTest::newRow("verify: FAILED, missing, not listed, a line that is no checksum line")
            << QStringList{"verify", "@/a.dat", "@/bad.sum"} << 1
            << QByteArray("@/bad.sum:3: not a checksum line\nTEXT.TXT: FAILED\n-DASH: not listed\n"
                          "TEXT.TXT: FAILED\na/b: not listed\nCUT: FAILED\nGONE: missing\n"
                          "@/a.dat: 0 OK, 3 failed, 1 missing, 2 not listed\n")
            << cut << Files{};
        QTest::newRow("verify: escaped names, upper-case hex, a bad escape, a short digest")
            << QStringList{"verify", "@/esc.dat", "@/esc.sum"} << 1
            << QByteArray("@/esc.sum:3: not a checksum line\n@/esc.sum:4: not a checksum line\n"
                          "\\x1b]0;X\\x07: not listed\n" +
                          QByteArray(Windows ? "\xff\xc3\\x01: not listed\n\xc2\x9b" "2J/"
                                             : "\\xff\\xc3\\x01: not listed\n\\xc2\\x9b2J/") +
                          ": not listed\n@/esc.dat: 3 OK, 0 failed, 0 missing, 3 not listed\n")
            << QByteArray() << Files{};
        QTest::newRow("verify against a missing list")
            << QStringList{"verify", "@/a.dat", "@/none.sum"} << 2 << QByteArray()
            << QByteArray("quillmarrow-cli: @/none.sum: the list does not exist\n") << Files{};

        // diff: matched by name, the n-th with the n-th; the layout is no difference.
        QTest::newRow("diff: removed, changed and moved, added, changed")
            << QStringList{"diff", "@/old.dat", "@/new.dat"} << 1
            << QByteArray("removed GONE\nchanged TEXT.TXT (3 -> 3 bytes)\n"
                          "moved TEXT.TXT (position 0 -> 1)\nadded NEW\n"
                          "changed TEXT.TXT (4 -> 4 bytes)\n")
            << QByteArray() << Files{};
        QTest::newRow("diff --json")
            << QStringList{"diff", "--json", "@/new.dat", "@/old.dat"} << 1
            << QByteArray("{\"change\":\"removed\",\"name\":\"NEW\",\"name_hex\":\"4e4557\","
                          "\"old_index\":2,\"old_size\":1}\n"
                          "{\"change\":\"changed\",\"name\":\"TEXT.TXT\",\"name_hex\":"
                          "\"544558542e545854\",\"old_index\":1,\"new_index\":0,\"old_size\":3,"
                          "\"new_size\":3}\n"
                          "{\"change\":\"moved\",\"name\":\"-DASH\",\"name_hex\":\"2d44415348\","
                          "\"old_index\":0,\"new_index\":1}\n"
                          "{\"change\":\"changed\",\"name\":\"TEXT.TXT\",\"name_hex\":"
                          "\"544558542e545854\",\"old_index\":3,\"new_index\":2,\"old_size\":4,"
                          "\"new_size\":4}\n"
                          "{\"change\":\"added\",\"name\":\"GONE\",\"name_hex\":\"474f4e45\","
                          "\"new_index\":3,\"new_size\":1}\n")
            << QByteArray() << Files{};
        QTest::newRow("diff of the same entries in another layout")
            << QStringList{"diff", "@/old.dat", "@/relaid.dat"} << 0 << QByteArray()
            << QByteArray() << Files{};
        QTest::newRow("diff of entries that cannot be read whole is trouble")
            << QStringList{"diff", "@/a.dat", "@/a.dat"} << 2 << QByteArray()
            << "quillmarrow-cli: @/a.dat: " + cut.mid(17) << Files{};

        // find: folders searched in name order, links not followed, non-archives skipped.
        QTest::newRow("find a name in a folder")
            << QStringList{"find", "TEXT.TXT", "@/found"} << 0
            << QByteArray("@/found/x.dat\t0\t3\tTEXT.TXT\n") << QByteArray() << Files{};
        QTest::newRow("find -i -v --json of a pattern")
            << QStringList{"find", "-i", "-v", "--json", "t*.TXT", "@/found"} << 0
            << QByteArray("{\"archive\":\"@/found/sub/y.dat\",\"index\":1,\"offset\":61,"
                          "\"size\":3,\"name\":\"text.txt\",\"name_hex\":\"746578742e747874\"}\n"
                          "{\"archive\":\"@/found/x.dat\",\"index\":0,\"offset\":60,"
                          "\"size\":3,\"name\":\"TEXT.TXT\",\"name_hex\":\"544558542e545854\"}\n")
            << QByteArray("quillmarrow-cli: @/found/bad.dat: skipped, not an archive: check finds "
                          "5 problems\n")
            << Files{};
        QTest::newRow("find that matches nothing")
            << QStringList{"find", "NOPE", "@/found/x.dat", "@/a.dat"} << 1 << QByteArray()
            << QByteArray() << Files{};
        QTest::newRow("find in a missing path is trouble")
            << QStringList{"find", "B", "@/none.dat", "@/found/x.dat"} << 2
            << QByteArray("@/found/x.dat\t1\t1\tB\n")
            << QByteArray("quillmarrow-cli: @/none.dat: the archive does not exist\n") << Files{};

        // Output that cannot be written is one message and exit status 1.
        const QByteArray lost = "quillmarrow-cli: cannot write to standard output: No space left "
                                "on device\n";
        QTest::newRow("list into a full disk")
            << QStringList{"list", "@/a.dat", ">/dev/full"} << 1 << QByteArray() << lost << Files{};
        QTest::newRow("list --long of many entries into a full disk")
            << QStringList{"list", "--long", "@/many.dat", ">/dev/full"} << 1 << QByteArray()
            << lost << Files{};
        QTest::newRow("list --json into a full disk")
            << QStringList{"list", "--json", "@/a.dat", ">/dev/full"} << 1 << QByteArray() << lost
            << Files{};
        QTest::newRow("cat into a full disk") << QStringList{"cat", "@/a.dat", "0", ">/dev/full"}
                                              << 1 << QByteArray() << lost << Files{};
        QTest::newRow("check into a full disk") << QStringList{"check", "@/-odd.dat", ">/dev/full"}
                                                << 1 << QByteArray() << lost << Files{};
        QTest::newRow("sums into a full disk") << QStringList{"sums", "@/a.dat", "0", ">/dev/full"}
                                               << 1 << QByteArray() << lost << Files{};
        QTest::newRow("--version into a full disk")
            << QStringList{"--version", ">/dev/full"} << 1 << QByteArray() << lost << Files{};
    }
    void run() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QFETCH(Files, files);
        if (!args.isEmpty() && args.last() == ">/dev/full" && !QFile::exists("/dev/full"))
            QSKIP("no /dev/full here");
        for (const QString& a : args)
            // FIFOs and devices are the system's own: a Windows program sees none of them.
            if ((a.startsWith("@/locked") && Root()) || ((a == "@/fifo" || a == "@/socket") && (!Unix || Windows)) ||
                (a.startsWith("/dev/") && (!QFile::exists(a) || Windows)))
                QSKIP("no such path or permission here");
        args.replaceInStrings(QRegularExpression("^@"), root.path());
        err.replace("@/", QFile::encodeName(root.path()) + '/');
        err.replace("@\\", QFile::encodeName(root.path()) + '\\');
        out.replace("@/", QFile::encodeName(root.path()) + '/');
        const Result r = Run(args);
        QCOMPARE(r.out, out);
        if (exitCode != 2 && err.endsWith('\n'))
            QCOMPARE(r.err, err);
        QVERIFY2(r.err.startsWith(err), r.err.constData());
        if (exitCode == 2) // usage errors and missing files are one line, then the usage
            QVERIFY2(r.err.count('\n') == 1 || r.err.contains("\nusage: "), r.err.constData());
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(testfiles::FilesIn(folder()), files);
    }

    // What a terminal shows: on Windows the console is written in UTF-16, each name read in
    // the ANSI code page as its file is named (here through Wine's console, in UTF-8).
    void console_data() {
        QTest::addColumn<QStringList>("args"); // "@" stands for the test folder
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("list") << QStringList{"list", "@/names.dat"}
                              << QByteArray(Windows ? "caf\xc3\xa9.txt\n\xc2\x81X\nutf\xc3\x83\xc2\xa9.txt\n"
                                                    : "caf\xe9.txt\n\x81X\nutf\xc3\xa9.txt\n");
        QTest::newRow("extract -v") << QStringList{"extract", "-v", "@/names.dat", "@/out", "0"}
                                    << QByteArray(Windows ? "caf\xc3\xa9.txt\n" : "caf\\xe9.txt\n");
    }
    void console() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, shown);
        const QString script = QStandardPaths::findExecutable("script");
        if (script.isEmpty())
            QSKIP("needs script (util-linux) for a terminal");
        QStringList command = QString(QUILLMARROW_TEST_LAUNCHER).split(' ', Qt::SkipEmptyParts);
        command << QUILLMARROW_CLI << args.replaceInStrings(QRegularExpression("^@"), root.path());
        for (QString& word : command)
            word = "'" + word + "'";
        QProcess p;
        p.start(script, {"-qec", command.join(' '), "/dev/null"});
        QVERIFY(p.waitForFinished(60000));
        // The terminal's CR before each LF and the cursor switches of Wine's console go.
        QCOMPARE(p.readAllStandardOutput().replace("\r", "").replace("\x1b[?25l", "").replace(
                     "\x1b[?25h", ""),
                 shown);
    }

    void help() {
        const Result r = Run({"--help"});
        QCOMPARE(r.exitCode, 0);
        for (const char* line :
             {"quillmarrow-cli list [-l|--long|--json] ARCHIVE\n",
              "quillmarrow-cli extract [-k] [-v] [-i] [--exclude PATTERN]... ARCHIVE FOLDER "
              "[ENTRY...]\n",
              "quillmarrow-cli extract-each [-k] [-v] [-i] [--exclude PATTERN]... FOLDER "
              "ARCHIVE...\n",
              "quillmarrow-cli cat [-v] [-i] [--exclude PATTERN]... ARCHIVE ENTRY...\n",
              "quillmarrow-cli check ARCHIVE...\n",
              "quillmarrow-cli rename [--compact] ARCHIVE OLD NEW\n",
              "quillmarrow-cli update [-v] [--compact] ARCHIVE FILE...\n",
              "quillmarrow-cli compact ARCHIVE\n",
              "quillmarrow-cli sums [-a|--algorithm sha256|sha1|md5|crc32] [--json] [-i]\n",
              "quillmarrow-cli verify [-v] [--strict] ARCHIVE SUMS\n",
              "quillmarrow-cli diff [--json] OLD NEW\n",
              "quillmarrow-cli find [-i] [-v] [--json] PATTERN PATH...\n", "quillmarrow-cli --help\n",
              "quillmarrow-cli --version\n", "\n  -k, --keep-existing ", "\n  -v, --verbose ",
              "\n  -i, --ignore-case ", "\n  --exclude PATTERN ", "\n  --json ", "\n  -l, --long "})
            QVERIFY2(r.out.contains(line), line);
        // Windows' own programs take /? for the help; elsewhere it is an unknown command.
        QCOMPARE(Run({"/?"}).out, Windows ? r.out : QByteArray());
    }

    // sums against the checksum tools themselves: each checks the list sums writes in the folder
    // extract fills, and writes the same lines for names holding a backslash, a line feed or a
    // carriage return.
    void checksumTools_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("algorithm");
        QTest::newRow("sha256sum") << "sha256sum" << "sha256";
        QTest::newRow("sha1sum") << "sha1sum" << "sha1";
        QTest::newRow("md5sum") << "md5sum" << "md5";
    }
    void checksumTools() {
        QFETCH(QString, tool);
        QFETCH(QString, algorithm);
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP("the checksum tool is not installed");
        const QString archive = root.filePath("tools.dat"), list = root.filePath("tools.sum");
        testfiles::Write(archive, testfiles::Archive({{"A.TXT", "alpha"},
                                                      {"EMPTY", ""},
                                                      {"B-2.BIN", QByteArray((3 << 20) + 5, '\x7f')}}));
        QCOMPARE(Run({"sums", "-a", algorithm, archive, ">" + list}).exitCode, 0);
        QCOMPARE(Run({"extract", archive, folder()}).exitCode, 0);
        QProcess check;
        check.setWorkingDirectory(folder());
        check.start(tool, {"-c", list});
        QVERIFY(check.waitForFinished());
        QCOMPARE(check.readAllStandardOutput(), QByteArray("A.TXT: OK\nEMPTY: OK\nB-2.BIN: OK\n"));
        QCOMPARE(check.exitCode(), 0);

        const QList<QByteArray> names{"back\\slash", "line\nfeed", "car\rriage", "plain"};
        QList<QPair<QByteArray, QByteArray>> entries;
        QStringList files;
        QDir(root.filePath("odd")).removeRecursively();
        QVERIFY(QDir().mkpath(root.filePath("odd")));
        for (const QByteArray& name : names) {
            entries.append({name, "data of " + name});
            files << QFile::decodeName(name);
            testfiles::Write(root.filePath("odd/" + files.last()), entries.last().second);
        }
        testfiles::Write(archive, testfiles::Archive(entries));
        QProcess sum;
        sum.setWorkingDirectory(root.filePath("odd"));
        sum.start(tool, files);
        QVERIFY(sum.waitForFinished());
        const Result ours = Run({"sums", "--algorithm", algorithm, archive});
        QCOMPARE(ours.out, sum.readAllStandardOutput());
        QCOMPARE(ours.exitCode, 0);
        QVERIFY(ours.out.startsWith('\\'));
    }

    // One byte changed in one entry of 300: verify names that entry alone, diff calls it
    // changed; the same bytes in another layout (a gap before the data) are no difference.
    void oneByteChange() {
        QList<QPair<QByteArray, QByteArray>> entries;
        for (int k = 0; k < 300; ++k)
            entries.append({"E" + QByteArray::number(k), QByteArray(1000 + k, char('a' + k % 26))});
        const QByteArray bytes = testfiles::Archive(entries);
        const QString old = root.filePath("300.dat"), list = root.filePath("300.sum");
        testfiles::Write(old, bytes);
        QCOMPARE(Run({"sums", old, ">" + list}).exitCode, 0);
        QByteArray changed = bytes, relaid;
        changed[20 * 301 + 123 * 1000 + 122 * 123 / 2 + 7] = '!'; // in E123
        for (int k = 0, at = 20 * 301 + 3; k < 300; at += 1000 + k, ++k)
            relaid += testfiles::Record(entries[k].first, at, 1000 + k);
        relaid += testfiles::Record("", 0, 0) + "gap" + bytes.mid(20 * 301);
        testfiles::Write(root.filePath("changed.dat"), changed);
        testfiles::Write(root.filePath("relaid.dat"), relaid);
        const QByteArray in = QFile::encodeName(root.path());

        Result r = Run({"verify", root.filePath("changed.dat"), list});
        QCOMPARE(r.out, "E123: FAILED\n" + in + "/changed.dat: 299 OK, 1 failed, 0 missing, 0 not listed\n");
        QCOMPARE(r.exitCode, 1);
        r = Run({"diff", old, root.filePath("changed.dat")});
        QCOMPARE(r.out, QByteArray("changed E123 (1123 -> 1123 bytes)\n"));
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(Run({"verify", root.filePath("relaid.dat"), "-", "<" + list}).exitCode, 0);
        r = Run({"diff", old, root.filePath("relaid.dat")});
        QCOMPARE(r.out + r.err, QByteArray());
        QCOMPARE(r.exitCode, 0);
    }

    // extract-each: one folder per archive, named after it; a second archive of one stem and a
    // stem that a file has get the next free STEM-N. One summary line per archive.
    void extractEach() {
        QVERIFY(QDir().mkpath(root.filePath("two")));
        testfiles::Write(root.filePath("two/a.pak"), testfiles::Archive({{"ODD", "o"}}));
        testfiles::Write(root.filePath("-odd"), "not a folder");
        const QString each = root.filePath("each");
        QDir(each).removeRecursively();
        QVERIFY(QDir().mkpath(each));
        testfiles::Write(QDir(each).filePath("-odd"), "a file");
        const Result r = Run({"extract-each", "-k", each, root.filePath("a.dat"),
                              root.filePath("two/a.pak"), root.filePath("-odd.dat")});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(testfiles::Contents(each), (QStringList{"-odd", "-odd-2", "a", "a-2"}));
        QCOMPARE(testfiles::FilesIn(QDir(each).filePath("a")),
                 (Files{{"TEXT.TXT", "one"}, {"-DASH", "tw"}, {"CUT", "reZZ"}}));
        QCOMPARE(testfiles::FilesIn(QDir(each).filePath("a-2")), (Files{{"ODD", "o"}}));
        QCOMPARE(testfiles::FilesIn(QDir(each).filePath("-odd-2")), (Files{{"ODD", "o"}}));
        // FOLDER and STEM joined as the platform joins them.
        const QByteArray e = QFile::encodeName(each) + (Windows ? "\\" : "/"),
                         a = QFile::encodeName(root.path());
        QVERIFY2(r.err.endsWith("quillmarrow-cli: " + a + "/a.dat: 5 entries into " + e +
                                "a, 2 problems\nquillmarrow-cli: " + a +
                                "/two/a.pak: 1 entry into " + e +
                                "a-2, 0 problems\nquillmarrow-cli: " + a +
                                "/-odd.dat: 1 entry into " + e + "-odd-2, 0 problems\n"),
                 r.err.constData());
    }

    // An archive whose stem is "..", "." or a control character still gets a folder of its own
    // inside FOLDER: nothing is written beside FOLDER or into it among the archives' folders.
    void extractEachStems_data() {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("folder"); // the folder made inside FOLDER
        QTest::newRow("stem ..") << "...dat" << "..-2";
        QTest::newRow("stem .") << "..dat" << ".-2";
        QTest::newRow("stem with a line feed") << "a\nb.dat" << "a\nb";
    }
    void extractEachStems() {
        QFETCH(QString, archive);
        QFETCH(QString, folder);
        if (Windows && archive.contains('\n'))
            QSKIP("Windows file names hold no control characters");
        const QString home = root.filePath("home"), out = home + "/out";
        QDir(home).removeRecursively();
        QVERIFY(QDir().mkpath(out));
        testfiles::Write(home + "/NOTES", "mine");
        testfiles::Write(home + "/" + archive, testfiles::Archive({{"NOTES", "theirs"}}));
        const Result r = Run({"extract-each", out, home + "/" + archive});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(testfiles::Read(home + "/NOTES"), QByteArray("mine"));
        QCOMPARE(testfiles::Contents(out), QStringList{folder});
        QCOMPARE(testfiles::FilesIn(out + "/" + folder), (Files{{"NOTES", "theirs"}}));
    }

    // Entry names as file names, where Windows rightly differs: it cannot store a name ending
    // in a space or full stop, reserves ":" and device names, and makes file names from name
    // bytes through the ANSI code page. The paths given contain characters outside that code
    // page, and an ENTRY operand is the file name that entry gets.
    void names_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("file");       // the file written; "" when it is refused
        QTest::addColumn<QByteArray>("refusal"); // the start of the reason given then
        const QByteArray unsafe = "unsafe name (";
        const auto row = [&](const char* what, const QByteArray& name, const QString& posix,
                             const QString& windows) {
            QTest::newRow(what) << name << (Windows ? windows : posix)
                                << ((Windows ? windows : posix).isEmpty() ? unsafe : "");
        };
        row("ending in a full stop", "x.", "x.", "");
        row("ending in a space", "x ", "x ", "");
        row("a colon", "a:b", "a:b", "");
        row("a device name", "CON", "CON", "");
        row("a device name with an extension", "com1.txt", "com1.txt", "");
        row("a console device name", "CONIN$", "CONIN$", "");
        row("a device name with the digit 0", "lpt0.txt", "lpt0.txt", "");
        row("a path separator", "a\\b", "", "");
        row("name bytes C3 A9", "\xC3\xA9.TXT", u"\u00E9.TXT"_qs, u"\u00C3\u00A9.TXT"_qs);
        QTest::newRow("the euro sign in the platform's encoding")
            << QByteArray(Windows ? "\x80.TXT" : "\xE2\x82\xAC.TXT") << u"\u20AC.TXT"_qs
            << QByteArray();
    }
    void names() {
        QFETCH(QByteArray, name);
        QFETCH(QString, file);
        QFETCH(QByteArray, refusal);
        QDir dir(root.filePath(u"\u0434\u20AC"_qs));
        dir.removeRecursively();
        QVERIFY(dir.mkpath("out"));
        testfiles::Write(dir.filePath("a.dat"), testfiles::Archive({{name, "data"}}));

        QCOMPARE(Run({"list", dir.filePath("a.dat")}).out, name + '\n');
        QStringList args{"extract", dir.filePath("a.dat"), dir.filePath("out")};
        if (!file.isEmpty())
            args << file;
        const Result r = Run(args);
        QVERIFY2(r.err.startsWith(
                     file.isEmpty() ? "quillmarrow-cli: " + QByteArray(name).replace("\\", Windows ? "\\" : "\\\\") +
                                          ": " + refusal
                                    : QByteArray()),
                 r.err.constData());
        QCOMPARE(r.exitCode, file.isEmpty() ? 1 : 0);
        QCOMPARE(testfiles::Contents(dir.filePath("out")),
                 file.isEmpty() ? QStringList() : QStringList{file});
        if (!file.isEmpty())
            QCOMPARE(testfiles::Read(dir.filePath("out/" + file)), QByteArray("data"));
    }

    // Two names, one file: Windows folds case, so a name differing from the archive's or from
    // an earlier entry's only in case is that same file there. The archive is never replaced;
    // an entry's file replaced by a later one's is reported.
    void sameFile_data() {
        QTest::addColumn<QByteArray>("second"); // the name of the archive's second entry
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<Files>("files"); // besides GAME.DAT; in lower case on Windows
        QTest::addColumn<bool>("fat");    // in a FAT folder, which folds case on any system
        const QByteArray replaced = "quillmarrow-cli: OTHER: replaced by entry 1, which has the "
                                    "same name\n";
        const QByteArray itself =
            "quillmarrow-cli: %1: not written: it would replace the archive itself\n";
        QTest::newRow("the archive's name")
            << QByteArray("GAME.DAT") << 1 << QByteArray(itself).replace("%1", "GAME.DAT")
            << (Windows ? Files{{"other", "one"}} : Files{{"OTHER", "one"}}) << false;
        QTest::newRow("the archive's name in other case")
            << QByteArray("game.dat") << (Windows ? 1 : 0)
            << (Windows ? QByteArray(itself).replace("%1", "game.dat") : QByteArray())
            << (Windows ? Files{{"other", "one"}} : Files{{"OTHER", "one"}, {"game.dat", "two"}})
            << false;
        QTest::newRow("the first entry's name in other case")
            << QByteArray("other") << (Windows ? 1 : 0) << (Windows ? replaced : QByteArray())
            << (Windows ? Files{{"other", "two"}} : Files{{"OTHER", "one"}, {"other", "two"}})
            << false;
        QTest::newRow("the archive's name in other case, on FAT")
            << QByteArray("game.dat") << 1 << QByteArray(itself).replace("%1", "game.dat")
            << Files{{"other", "one"}} << true;
        QTest::newRow("the first entry's name in other case, on FAT")
            << QByteArray("other") << 1 << replaced << Files{{"other", "two"}} << true;
    }
    void sameFile() {
        QFETCH(QByteArray, second);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, err);
        QFETCH(Files, files);
        QFETCH(bool, fat);
        std::optional<testfiles::FatFolder> fatFolder;
        if (fat && Windows)
            QSKIP("a Windows program folds case everywhere: see the rows above");
        if (fat) {
            fatFolder.emplace(root.path());
            QUILLMARROW_SKIP_UNLESS_USABLE(*fatFolder);
        }
        const QString folder = fat ? fatFolder->Path() : this->folder();
        const QString archive = QDir(folder).filePath("GAME.DAT");
        const QByteArray bytes = testfiles::Archive({{"OTHER", "one"}, {second, "two"}});
        testfiles::Write(archive, bytes);

        const Result r = Run({"extract", archive, folder});
        QCOMPARE(r.err, err);
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(testfiles::Read(archive), bytes);
        Files got;
        for (const auto& [name, bytes] : testfiles::FilesIn(folder).asKeyValueRange())
            if (name != "GAME.DAT") // which case a replaced file keeps differs
                got[Windows || fat ? name.toLower() : name] = bytes;
        QCOMPARE(got, files);
    }

    // The disk filling up during extraction: each entry that does not fit is reported on a line
    // of its own and leaves nothing under its name (an older file of that name stays as it
    // was), no temporary file stays, and the smaller entries are still written.
    void diskFull_data() {
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<bool>("olderBig"); // out/BIG already holds "older"
        QTest::addColumn<QByteArrayList>("reported");
        QTest::addColumn<Files>("files");
        const Files small{{"SMALL1", QByteArray(1000, '1')},
                          {"SMALL2", QByteArray(2000, '2')},
                          {"MEDIUM", QByteArray(50000, 'm')}};
        Files all = small;
        all["BIG"] = QByteArray(300000, 'b');
        Files older = small;
        older["BIG"] = "older";

        QTest::newRow("room for all but the big entry")
            << qint64(100000) << false << QByteArrayList{"BIG"} << small;
        QTest::newRow("room for the small entries only")
            << qint64(10000) << false << QByteArrayList{"BIG", "MEDIUM"}
            << Files{{"SMALL1", small["SMALL1"]}, {"SMALL2", small["SMALL2"]}};
        QTest::newRow("an older file under the big entry's name stays")
            << qint64(100000) << true << QByteArrayList{"BIG"} << older;
        QTest::newRow("room for every entry")
            << qint64(1000000) << false << QByteArrayList{} << all;
    }
    void diskFull() {
#ifndef Q_OS_UNIX
        QSKIP("file size limits are a POSIX feature");
#endif
        QFETCH(qint64, limit);
        QFETCH(bool, olderBig);
        QFETCH(QByteArrayList, reported);
        QFETCH(Files, files);
        testfiles::Write(root.filePath("full.dat"),
                         testfiles::Archive({{"SMALL1", QByteArray(1000, '1')},
                                             {"BIG", QByteArray(300000, 'b')},
                                             {"SMALL2", QByteArray(2000, '2')},
                                             {"MEDIUM", QByteArray(50000, 'm')}}));
        if (olderBig)
            testfiles::Write(QDir(folder()).filePath("BIG"), "older");

        const Result r = Run({"extract", root.filePath("full.dat"), folder()}, limit);
        QCOMPARE(r.exitCode, reported.isEmpty() ? 0 : 1);
        QByteArrayList lines = r.err.split('\n');
        QCOMPARE(lines.takeLast(), QByteArray()); // every line ends with a line feed
        QCOMPARE(lines.size(), reported.size());
        for (qsizetype i = 0; i < lines.size(); ++i)
            QVERIFY2(lines[i].startsWith("quillmarrow-cli: " + reported[i] + ": cannot write it: "),
                     lines[i].constData());
        QCOMPARE(testfiles::FilesIn(folder()), files);
    }

    // Reading the archive fails with EIO: the entry is reported as not read (not as not
    // written), nothing of it stays, and the entries before it are written.
    void readFails_data() {
        QTest::addColumn<int>("from"); // where reads start to fail
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<Files>("files");
        const QByteArray eio = ": cannot read it: Input/output error\n";
        // SMALL's byte lies at 60, BIG's data from 61 on, copied through a buffer in chunks.
        QTest::newRow("inside a large entry, after its first chunk")
            << 62 << "quillmarrow-cli: BIG" + eio << Files{{"SMALL", "s"}};
        QTest::newRow("at a small entry")
            << 60 << "quillmarrow-cli: SMALL" + eio + "quillmarrow-cli: BIG" + eio << Files{};
    }
    void readFails() {
#ifndef Q_OS_LINUX
        QSKIP("fails reads through a seccomp filter");
#endif
        if (Windows)
            QSKIP("fails reads through a seccomp filter, under which Wine does not run");
        QFETCH(int, from);
        QFETCH(QByteArray, err);
        QFETCH(Files, files);
        testfiles::Write(root.filePath("eio.dat"),
                         testfiles::Archive({{"SMALL", "s"}, {"BIG", QByteArray(5 << 20, 'b')}}));
        const Result r = Run({"extract", root.filePath("eio.dat"), folder()}, -1, -1, from);
        QCOMPARE(r.err, err);
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(testfiles::FilesIn(folder()), files);
    }

    // Ended from outside while a large entry is written, by Ctrl+C or killed, the Windows
    // program leaves no file behind, and an older file of the entry's name keeps its bytes.
    void endedOnWindows_data() {
        QTest::addColumn<int>("signal");
#ifdef Q_OS_UNIX
        QTest::newRow("Ctrl+C (SIGINT under Wine)") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("killed") << SIGKILL;
#endif
    }
    void endedOnWindows() {
#ifdef Q_OS_UNIX
        if (!Windows || QString(QUILLMARROW_TEST_LAUNCHER).isEmpty())
            QSKIP("a Windows program under Wine");
        QFETCH(int, signal);
        // 2 GiB of entry data, sparse on disk, so that writing it takes a while.
        const QString archive = root.filePath("big.dat");
        testfiles::Write(archive, testfiles::Record("BIG", 40, INT32_MAX - 40) +
                                      testfiles::Record("", 0, 0));
        QVERIFY(QFile::resize(archive, INT32_MAX));
        testfiles::Write(QDir(folder()).filePath("BIG"), "older");

        QProcess p;
        Start(p, {"extract", archive, folder()});
        QVERIFY(p.waitForStarted());
        // Under Wine the file being written shows in the folder under its temporary name; once
        // it has bytes, it is marked for removal.
        const auto writing = [&] {
            const QFileInfoList files = QDir(folder()).entryInfoList(QDir::Files | QDir::Hidden);
            return std::any_of(files.begin(), files.end(), [](const QFileInfo& f) {
                return f.fileName() != "BIG" && f.size() > 0;
            });
        };
        QTRY_VERIFY_WITH_TIMEOUT(writing(), 30000);
        ::kill(static_cast<pid_t>(p.processId()), signal);
        QVERIFY(p.waitForFinished(60000));
        QFile::remove(archive);
        // A killed program's handles are closed by Wine's server a moment after it ends.
        QTRY_COMPARE_WITH_TIMEOUT(testfiles::Contents(folder()), QStringList{"BIG"}, 10000);
        QCOMPARE(testfiles::Read(QDir(folder()).filePath("BIG")), QByteArray("older"));
#endif
    }

    // A signal while an entry is being written leaves no new file in the folder, and an older
    // file of the entry's name keeps its bytes: a large entry; many small ones, each file left
    // a whole entry; and a file that took the temporary name first is not this run's to remove.
    void interrupted_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("older");      // out/BIG already holds "older"
        QTest::addColumn<bool>("unnamed");    // the file system has unnamed files (O_TMPFILE)
        QTest::addColumn<QString>("entries"); // "large", "small" or "temporary name taken"
#ifndef Q_OS_LINUX
        QSKIP("needs POSIX signals and /proc");
#else
        QTest::newRow("SIGINT") << SIGINT << false << true << "large";
        QTest::newRow("SIGINT over an older file") << SIGINT << true << true << "large";
        QTest::newRow("SIGTERM over an older file") << SIGTERM << true << true << "large";
        QTest::newRow("SIGHUP over an older file") << SIGHUP << true << true << "large";
        QTest::newRow("SIGINT, no unnamed files") << SIGINT << false << false << "large";
        QTest::newRow("SIGTERM over an older file, no unnamed files")
            << SIGTERM << true << false << "large";
        QTest::newRow("SIGHUP over an older file, no unnamed files")
            << SIGHUP << true << false << "large";
        QTest::newRow("SIGINT among small entries") << SIGINT << false << true << "small";
        QTest::newRow("SIGTERM among small entries, no unnamed files")
            << SIGTERM << false << false << "small";
        QTest::newRow("SIGINT while another file has the temporary name")
            << SIGINT << false << false << "temporary name taken";
#endif
    }
    void interrupted() {
#ifdef Q_OS_LINUX
        if (!QString(QUILLMARROW_TEST_LAUNCHER).isEmpty())
            QSKIP("the signal must reach the program itself");
        QFETCH(int, signal);
        QFETCH(bool, older);
        QFETCH(bool, unnamed);
        QFETCH(QString, entries);
        if (entries == "small")
            return interruptSmallEntries(signal, unnamed);
        if (entries == "temporary name taken")
            return interruptWithTemporaryNameTaken(signal);
        // 2 GiB of entry data, sparse on disk, so that writing it takes a while.
        const QString archive = root.filePath("big.dat");
        testfiles::Write(archive, testfiles::Record("BIG", 40, INT32_MAX - 40) +
                                      testfiles::Record("", 0, 0));
        QVERIFY(QFile::resize(archive, INT32_MAX));
        if (older)
            testfiles::Write(QDir(folder()).filePath("BIG"), "older");

        QProcess p;
        if (!unnamed)
            p.setChildProcessModifier([] { RefuseUnnamedFiles(); });
        p.start(QUILLMARROW_CLI, {"extract", archive, folder()});
        QVERIFY(p.waitForStarted());
        // It is writing the entry once it holds a file in the output folder open; an unnamed
        // one shows as deleted.
        const std::string inFolder = testfiles::NativePath(folder()).string() + '/';
        std::string writing;
        QElapsedTimer waited;
        waited.start();
        bool finished = false;
        while (writing.empty() && waited.elapsed() < 30000 && !(finished = p.waitForFinished(0))) {
            for (const std::string& file : OpenFiles(p.processId()))
                if (file.starts_with(inFolder))
                    writing = file;
            ::usleep(200);
        }
        QVERIFY2(!writing.empty(), "the entry was not seen being written");
        if (!unnamed)
            QVERIFY2(!writing.ends_with(" (deleted)"), writing.c_str());
        ::kill(static_cast<pid_t>(p.processId()), signal);
        QVERIFY(finished || p.waitForFinished(60000));
        QFile::remove(archive);
        QCOMPARE(testfiles::Contents(folder()).join(' '), older ? "BIG" : "");
        if (older)
            QCOMPARE(testfiles::Read(QDir(folder()).filePath("BIG")), QByteArray("older"));
#endif
    }

    // The archive replaced by another while names are resolved: what is written comes from the
    // file that was opened, never from its replacement.
    void archiveReplacedWhileNamesResolve() {
#ifndef Q_OS_LINUX
        QSKIP("needs /proc");
#else
        if (!QString(QUILLMARROW_TEST_LAUNCHER).isEmpty())
            QSKIP("watches the program's own open files");
        QList<QPair<QByteArray, QByteArray>> entries{{"A", "A"}};
        for (int k = 0; k < 100000; ++k) // long enough that resolving the names takes a while
            entries.append({"F" + QByteArray::number(k), {}});
        const QString archive = root.filePath("replaced.dat");
        testfiles::Write(archive, testfiles::Archive(entries));
        entries[0].second = "Z";
        testfiles::Write(root.filePath("other.dat"), testfiles::Archive(entries));

        QProcess p;
        p.start(QUILLMARROW_CLI, QStringList{"extract", archive, folder()} + QStringList(300, "A"));
        QVERIFY(p.waitForStarted());
        // Replace the archive once the program has read its directory and does not hold it
        // open (reading counts from /proc/PID/io).
        const std::string path = testfiles::NativePath(archive).string();
        const qint64 directoryBytes = 100000 * 20;
        bool open = false, finished = false;
        qint64 read = 0;
        QElapsedTimer waited;
        waited.start();
        do {
            const auto files = OpenFiles(p.processId());
            open = std::find(files.begin(), files.end(), path) != files.end();
            const QByteArray io = testfiles::Read(QString("/proc/%1/io").arg(p.processId()));
            read = io.mid(io.indexOf("rchar: ") + 7).split('\n').value(0).toLongLong();
        } while ((read < directoryBytes || open) && !(finished = p.waitForFinished(0)) &&
                 waited.elapsed() < 30000);
        std::filesystem::rename(testfiles::NativePath(root.filePath("other.dat")), path);
        QVERIFY(finished || p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(testfiles::Contents(folder()), QStringList{"A"});
        QCOMPARE(testfiles::Read(QDir(folder()).filePath("A")), QByteArray("A"));
#endif
    }

    // The archive is written over in place after the ENTRY operands were resolved, as the
    // directory is walked again to extract: an entry given by name that is gone, or a record that
    // holds another name now, is reported under the name the user gave, and nothing is written.
    void changedAfterListing_data() {
        QTest::addColumn<QStringList>("args"); // "@" stands for the archive, "@out" the folder
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("extract by name")
            << QStringList{"extract", "@", "@out", "TEXT.TXT"} << QByteArray("TEXT.TXT");
        QTest::newRow("extract by pattern")
            << QStringList{"extract", "@", "@out", "T*"} << QByteArray("T*");
        QTest::newRow("extract by position: the entry as listed")
            << QStringList{"extract", "@", "@out", "0"} << QByteArray("TEXT.TXT");
        QTest::newRow("cat by name")
            << QStringList{"cat", "@", "TEXT.TXT"} << QByteArray("TEXT.TXT");
    }
    void changedAfterListing() {
#ifndef Q_OS_LINUX
        QSKIP("holds reads through a seccomp filter");
#else
        if (!QString(QUILLMARROW_TEST_LAUNCHER).isEmpty())
            QSKIP("holds reads through a seccomp filter, under which Wine does not run");
        QFETCH(QStringList, args);
        QFETCH(QByteArray, err);
        const QString archive = root.filePath("changing.dat");
        testfiles::Write(archive, testfiles::Archive({{"TEXT.TXT", "one"}}));
        args.replaceInStrings(QRegularExpression("^@out$"), folder());
        args.replaceInStrings(QRegularExpression("^@$"), archive);
        QProcess p;
        p.setChildProcessModifier([] { HoldReadsFromTheStart(); });
        p.start(QUILLMARROW_CLI, args);
        QVERIFY(p.waitForStarted());
        const int listener = TakeListener(p.processId());
        if (listener < 0) {
            p.kill();
            QSKIP("needs seccomp's user notification and pidfd_getfd (Linux 5.6)");
        }
        // The first read of the archive's start resolves the operands; before the second, the
        // archive is written over.
        const std::string path = testfiles::NativePath(archive).string();
        int reads = 0;
        LetHeldCallsGoOn(p, listener, [&](const seccomp_notif& call) {
            const std::string fd =
                "/proc/" + std::to_string(call.pid) + "/fd/" + std::to_string(call.data.args[0]);
            std::error_code ec;
            QFile f(archive);
            if (std::filesystem::read_symlink(fd, ec) == path && ++reads == 2 &&
                f.open(QIODevice::ReadWrite))
                f.write(testfiles::Archive({{"OTHER", "one"}}));
        });
        QCOMPARE(p.state(), QProcess::NotRunning);
        QCOMPARE(reads, 2);
        QCOMPARE(p.readAllStandardError(),
                 "quillmarrow-cli: " + err +
                     ": not extracted: the archive changed since it was listed\n");
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(p.readAllStandardOutput(), QByteArray());
        QCOMPARE(testfiles::Contents(folder()), QStringList());
#endif
    }

    // A directory larger than the memory the program may use is still listed and extracted
    // from: it is read in blocks and nothing is kept for each entry. Running out of memory is
    // a message of the program's own.
    void memoryLimit_data() {
        QTest::addColumn<QStringList>("args"); // "@" stands for the archive, "@out" the folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("lines");      // on standard output
        QTest::addColumn<QByteArray>("err"); // "@out" stands for the folder
        QTest::newRow("list") << QStringList{"list", "@"} << 0 << 1000000 << QByteArray();
        QTest::newRow("extract the last position")
            << QStringList{"extract", "@", "@out", "999999"} << 0 << 0 << QByteArray();
        // Every record is named SAME: the names are resolved without a list of the matches.
        QTest::newRow("extract a name every record has, into a missing folder")
            << QStringList{"extract", "@", "@out/none", "SAME"} << 2 << 0
            << QByteArray("quillmarrow-cli: @out/none: the folder does not exist\n");
    }
    void memoryLimit() {
#if defined(__SANITIZE_ADDRESS__) || !defined(Q_OS_UNIX)
        QSKIP("needs address-space limits, which the address sanitizer cannot run under");
#endif
        if (Windows)
            QSKIP("needs address-space limits, which Wine cannot start under");
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(int, lines);
        QFETCH(QByteArray, err);
        const bool same = args.contains("SAME");
        const QString archive = root.filePath(same ? "same.dat" : "million.dat");
        if (!QFile::exists(archive)) { // 20 MB of records, more than the 16 MiB limit
            QByteArray records;
            for (int k = 0; k < 1000000; ++k)
                records += testfiles::Record(same ? "SAME" : "R" + QByteArray::number(k), 0, 0);
            testfiles::Write(archive, records);
        }
        args.replaceInStrings(QRegularExpression("^@out"), folder());
        args.replaceInStrings(QRegularExpression("^@$"), archive);
        err.replace("@out", QFile::encodeName(folder()));
        const Result r = Run(args, -1, 16 << 20);
        QCOMPARE(r.err, err);
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.out.count('\n'), lines);

        // Under tighter limits it either does the same or says that memory ran out (the
        // loader failing before the program starts aside).
        for (qint64 limit = 5 << 20; limit < 9 << 20; limit += 256 << 10) {
            QDir(folder()).removeRecursively();
            QDir().mkpath(folder());
            const Result tight = Run(args, -1, limit);
            if (tight.exitCode == 127)
                continue;
            if (tight.exitCode != exitCode || tight.err != err)
                QCOMPARE(tight.err, QByteArray("quillmarrow-cli: not enough memory to go on\n"));
            else
                QCOMPARE(tight.out.count('\n'), lines);
        }
    }

    // Random archives: the listing and the extracted files follow from the records alone.
    void randomArchives() {
        QRandomGenerator rng(20261208);
        for (int round = 0; round < 25; ++round) {
            const int count = rng.bounded(1, 30);
            const int dataSize = rng.bounded(0, 4000);
            QByteArray directory, data(dataSize, '\0');
            for (char& c : data)
                c = char(rng.bounded(256));
            QByteArray listing;
            Files expected;
            bool problem = false;
            for (int k = 0; k < count; ++k) {
                QByteArray name;
                const int len = rng.bounded(1, 13);
                for (int i = 0; i < len; ++i)
                    name += "ABCDEFGHIJKLMNOPQRSTUVWXYZ-_ ~!"[rng.bounded(31)];
                if (rng.bounded(10) == 0)
                    name[rng.bounded(len)] = "/\\\x01\x7f"[rng.bounded(4)];
                if (name[0] == '/' || name[0] == '\\' || name[0] == '\x01')
                    name[0] = 'Q'; // keep it in the directory: only its later bytes are unsafe
                const int base = (count + 1) * 20;
                const int offset = rng.bounded(base, base + dataSize + 10);
                const int size = rng.bounded(0, 300);
                directory += testfiles::Record(name, offset, size);
                listing += name + '\n';
                const bool unsafe = name.contains('/') || name.contains('\\') ||
                                    name.contains('\x01') || name.contains('\x7f') ||
                                    (Windows && (name.endsWith(' ') || WindowsDevice(name)));
                const QByteArray bytes = data.mid(offset - base, size);
                if (unsafe || bytes.size() < size || expected.contains(QString::fromLatin1(name)))
                    problem = true;
                if (!unsafe)
                    expected[QString::fromLatin1(name)] = bytes;
            }
            testfiles::Write(root.filePath("r.dat"),
                             directory + testfiles::Record("", 0, 0) + data);
            QDir(folder()).removeRecursively();
            QDir().mkpath(folder());

            const Result list = Run({"list", root.filePath("r.dat")});
            QCOMPARE(list.out, listing);
            const Result ex = Run({"extract", root.filePath("r.dat"), folder()});
            QVERIFY2(ex.exitCode == (problem ? 1 : 0),
                     qPrintable(QString("round %1, exit %2: %3")
                                    .arg(round)
                                    .arg(ex.exitCode)
                                    .arg(QString::fromUtf8(ex.err))));
            QCOMPARE(testfiles::FilesIn(folder()), expected);
        }
    }

    // Writing archives: each command's result byte for byte, each refusal (one line, nothing
    // written), usage errors, and a full disk that leaves the old archive as it was.
    void write_data() {
        QTest::addColumn<QStringList>("args"); // "@" stands for the test folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("err");   // all of it when it ends in a line feed
        QTest::addColumn<QString>("archive");  // the archive looked at afterwards
        QTest::addColumn<QByteArray>("after"); // its bytes; "" when there is none
        QTest::addColumn<qint64>("limit");     // the file size limit (RLIMIT_FSIZE), or -1
        using testfiles::Archive;
        using testfiles::Record;
        const QByteArray w = Archive({{"A.TXT", "old a"}, {"C", "c"}});
        const QByteArray gaps = Record("A", 100, 2) + Record("B", 82, 3) + Record("C", 100, 2) +
                                Record("", 0, 0) + "..bbb...............aa";
        const auto row = [](const char* name, const QStringList& args, int exitCode,
                            const QByteArray& err, const QString& archive, const QByteArray& after,
                            qint64 limit = -1) {
            QTest::newRow(name) << args << exitCode << err << archive << after << limit;
        };
        row("create: the files in order under their names",
            {"create", "@/n.dat", "@/in/A.TXT", "@/in/B.TXT"}, 0, "", "@/n.dat",
            Archive({{"A.TXT", "hello"}, {"B.TXT", "world!"}}));
        row("create of no files: the NUL record alone", {"create", "@/n.dat"}, 0, "", "@/n.dat",
            QByteArray(20, '\0'));
        row("create over an existing archive", {"create", "@/w.dat", "@/in/A.TXT"}, 1,
            "quillmarrow-cli: @/w.dat: exists already\n", "@/w.dat", w);
        row("create --force replaces it", {"create", "--force", "@/w.dat", "@/in/B.TXT"}, 0, "",
            "@/w.dat", Archive({{"B.TXT", "world!"}}));
        row("create --force of the archive itself", {"create", "--force", "@/w.dat", "@/w.dat"}, 1,
            "quillmarrow-cli: @/w.dat: is the archive itself\n", "@/w.dat", w);
        row("create: every refusal on a line, escaped, and nothing written",
            {"create", "@/n.dat", "@/in/B.TXT", "@/in/a\nvery long name", "@/in/1.TXT",
             "@/in/b.txt"},
            1,
            "quillmarrow-cli: @/in/a\\x0avery long name: name longer than 12 bytes\n"
            "quillmarrow-cli: @/in/a\\x0avery long name: does not exist\n"
            "quillmarrow-cli: @/in/1.TXT: name starts with a byte that ends the directory (NUL, "
            "'.', '/' or a digit)\n"
            "quillmarrow-cli: @/in/1.TXT: does not exist\n"
            "quillmarrow-cli: @/in/b.txt: same name as @/in/B.TXT when case is folded\n",
            "@/n.dat", "");
        row("create stores a file name's bytes (on Windows in the ANSI code page)",
            {"create", "@/n.dat", QString::fromUtf8("@/in/caf\u00e9")}, 0, "", "@/n.dat",
            Archive({{Windows ? QByteArray("caf\xe9") : QByteArray("caf\xc3\xa9"), "e"}}));
        row("create of names equal when case is folded as Windows folds it",
            {"create", "@/n.dat", u"@/in/caf\u00e9"_qs, u"@/in/CAF\u00c9"_qs}, Windows ? 1 : 0,
            Windows ? "quillmarrow-cli: @/in/CAF\xc9: same name as @/in/caf\xe9 when case is folded\n"
                    : "",
            "@/n.dat",
            Windows ? "" : Archive({{"caf\xc3\xa9", "e"}, {"CAF\xc3\x89", "E"}}));
        row("create of a name Windows reserves", {"create", "@/n.dat", "@/in/AUX.TXT"}, 1,
            "quillmarrow-cli: @/in/AUX.TXT: unsafe name (a device name Windows reserves)",
            "@/n.dat", "");
        row("create past 2 GiB - 1 (a sparse file)", {"create", "@/n.dat", "@/in/SPARSE"}, 1,
            "quillmarrow-cli: @/n.dat: the archive would hold 2147483648 bytes, more than its "
            "offsets can reach (2147483647)\n",
            "@/n.dat", "");
        row("create on a full disk", {"create", "@/n.dat", "@/in/BIG"}, 1,
            "quillmarrow-cli: @/n.dat: cannot write the archive: ", "@/n.dat", "", 50000);
        row("add appends", {"add", "@/w.dat", "@/in/B.TXT"}, 0, "", "@/w.dat",
            Archive({{"A.TXT", "old a"}, {"C", "c"}, {"B.TXT", "world!"}}));
        row("add of a name the archive holds", {"add", "@/w.dat", "@/in/A.TXT"}, 1,
            "quillmarrow-cli: @/in/A.TXT: same name as the entry A.TXT\n", "@/w.dat", w);
        row("add through a symbolic link edits the file it names",
            {"add", "@/link.dat", "@/in/B.TXT"}, 0, "", "@/w.dat",
            Archive({{"A.TXT", "old a"}, {"C", "c"}, {"B.TXT", "world!"}}));
        row("create --force through a symbolic link replaces the file it names",
            {"create", "--force", "@/link.dat", "@/in/B.TXT"}, 0, "", "@/w.dat",
            Archive({{"B.TXT", "world!"}}));
        row("create through a symbolic link to nothing",
            {"create", "--force", "@/dangling.dat", "@/in/B.TXT"}, 1,
            "quillmarrow-cli: @/dangling.dat: is a symbolic link to a file that does not exist\n",
            "@/none.dat", "");
        row("create of a name with a C1 control", {"create", "@/n.dat", u"@/in/b\u009b"_qs}, 1,
            Windows ? "quillmarrow-cli: @/in/b\\xc2\\x9b: the system's code page cannot write its "
                      "name\n"
                    : "quillmarrow-cli: @/in/b\\xc2\\x9b: unsafe name (contains a control "
                      "character)\n",
            "@/n.dat", "");
        row("add of the archive itself", {"add", "@/w.dat", "@/w.dat"}, 1,
            "quillmarrow-cli: @/w.dat: is the archive itself\n", "@/w.dat", w);
        row("add on a full disk leaves the archive", {"add", "@/w.dat", "@/in/BIG"}, 1,
            "quillmarrow-cli: @/w.dat: cannot write the archive: ", "@/w.dat", w, 50000);
        row("replace keeps the entry's position", {"replace", "@/w.dat", "@/in/A.TXT"}, 0, "",
            "@/w.dat", Archive({{"A.TXT", "hello"}, {"C", "c"}}));
        row("replace of a name the archive does not hold", {"replace", "@/w.dat", "@/in/B.TXT"}, 1,
            "quillmarrow-cli: @/in/B.TXT: no entry named B.TXT\n", "@/w.dat", w);
        row("replace of one entry by two files",
            {"replace", "@/w.dat", "@/in/A.TXT", "@/in/sub/A.TXT"}, 1,
            "quillmarrow-cli: @/in/sub/A.TXT: entry 0 is replaced by @/in/A.TXT\n", "@/w.dat", w);
        row("rename keeps the entry's data and position", {"rename", "@/w.dat", "A.TXT", "B.TXT"},
            0, "", "@/w.dat", Archive({{"B.TXT", "old a"}, {"C", "c"}}));
        row("rename to another entry's name when case is folded",
            {"rename", "@/w.dat", "A.TXT", "c"}, 1,
            "quillmarrow-cli: c: same name as the entry C when case is folded\n", "@/w.dat", w);
        row("rename to a name create refuses", {"rename", "@/w.dat", "C", "1ST"}, 1,
            "quillmarrow-cli: 1ST: name starts with a byte that ends the directory (NUL, '.', "
            "'/' or a digit)\n",
            "@/w.dat", w);
        row("rename of a name the archive does not hold", {"rename", "@/w.dat", "NOPE", "X"}, 1,
            "quillmarrow-cli: X: no entry named NOPE\n", "@/w.dat", w);
        row("rename without NEW", {"rename", "@/w.dat", "A.TXT"}, 2,
            "quillmarrow-cli: rename takes ARCHIVE, OLD and NEW\n", "@/w.dat", w);
        row("replace by fewer bytes: in its slot, the rest of it kept",
            {"replace", "@/w.dat", "@/in/sub/A.TXT"}, 0, "", "@/w.dat",
            Record("A.TXT", 60, 3) + w.mid(20, 40) + "sub ac");
        row("update replaces, adds and leaves alone what is the same",
            {"update", "-v", "@/w.dat", "@/in/C", "@/in/A.TXT", "@/in/B.TXT"}, 0,
            "C: unchanged\n", "@/w.dat",
            Archive({{"A.TXT", "hello"}, {"C", "c"}, {"B.TXT", "world!"}}));
        row("update of one entry by two files",
            {"update", "@/w.dat", "@/in/A.TXT", "@/in/sub/A.TXT"}, 1,
            "quillmarrow-cli: @/in/sub/A.TXT: entry 0 is replaced by @/in/A.TXT\n", "@/w.dat", w);
        row("remove by name: its data stays as a gap", {"remove", "@/w.dat", "A.TXT"}, 0, "",
            "@/w.dat", Record("C", 65, 1) + w.mid(40, 20) + w.mid(40));
        row("remove by position", {"remove", "@/w.dat", "1"}, 0, "", "@/w.dat",
            Record("A.TXT", 60, 5) + w.mid(40, 20) + w.mid(40));
        row("remove every entry", {"remove", "@/w.dat", "1", "A.TXT"}, 0, "", "@/w.dat",
            w.mid(40, 20) + w.mid(20));
        row("remove of a name the archive does not hold", {"remove", "@/w.dat", "NOPE", "C"}, 1,
            "quillmarrow-cli: NOPE: no entry matches\n", "@/w.dat", w);
        row("remove by pattern", {"remove", "@/w.dat", "*.TXT"}, 0, "", "@/w.dat",
            Record("C", 65, 1) + w.mid(40, 20) + w.mid(40));
        row("remove keeps an archive's own layout", {"remove", "@/gaps.dat", "B"}, 0, "",
            "@/gaps.dat",
            Record("A", 100, 2) + Record("C", 100, 2) + gaps.mid(60, 20) + gaps.mid(60));
        row("remove --compact writes the layout of create",
            {"remove", "--compact", "@/gaps.dat", "B"}, 0, "", "@/gaps.dat",
            Archive({{"A", "aa"}, {"C", "aa"}}));
        row("compact reclaims the gaps", {"compact", "@/gaps.dat"}, 0, "", "@/gaps.dat",
            Archive({{"A", "aa"}, {"B", "bbb"}, {"C", "aa"}}));
        row("compact of two archives", {"compact", "@/gaps.dat", "@/w.dat"}, 2,
            "quillmarrow-cli: compact takes ARCHIVE\n", "@/gaps.dat", gaps);
        row("editing an archive that check finds problems in", {"add", "@/a.dat", "@/in/B.TXT"}, 1,
            "quillmarrow-cli: @/a.dat: cannot be edited: entry ", "@/a.dat", ::Archive());
        row("create without ARCHIVE", {"create"}, 2,
            "quillmarrow-cli: create takes ARCHIVE and FILE...\n", "@/n.dat", "");
        row("create with an unknown option", {"create", "-f", "@/n.dat", "@/in/A.TXT"}, 2,
            "quillmarrow-cli: unknown option for create: -f\n", "@/n.dat", "");
        row("add without FILE", {"add", "@/w.dat"}, 2,
            "quillmarrow-cli: add takes ARCHIVE and FILE...\n", "@/w.dat", w);
        row("remove of a missing archive", {"remove", "@/none.dat", "0"}, 2,
            "quillmarrow-cli: @/none.dat: the archive does not exist\n", "@/none.dat", "");
    }
    void write() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, err);
        QFETCH(QString, archive);
        QFETCH(QByteArray, after);
        QFETCH(qint64, limit);
        if (limit >= 0 && !Unix)
            QSKIP("file size limits are a POSIX feature");
        QDir in(root.filePath("in"));
        in.removeRecursively();
        QVERIFY(in.mkpath("sub"));
        testfiles::Write(in.filePath("A.TXT"), "hello");
        testfiles::Write(in.filePath("sub/A.TXT"), "sub");
        testfiles::Write(in.filePath("B.TXT"), "world!");
        testfiles::Write(in.filePath("C"), "c");
        testfiles::Write(in.filePath("b.txt"), "other");
        testfiles::Write(in.filePath(QString::fromUtf8("caf\u00e9")), "e");
        testfiles::Write(in.filePath(u"CAF\u00c9"_qs), "E");
        testfiles::Write(in.filePath("BIG"), QByteArray(100000, 'b'));
        testfiles::Write(in.filePath(u"b\u009b"_qs), "c1");
        testfiles::Write(in.filePath("SPARSE"), {});
        QVERIFY(QFile::resize(in.filePath("SPARSE"), INT32_MAX - 39));
        testfiles::Write(root.filePath("w.dat"),
                         testfiles::Archive({{"A.TXT", "old a"}, {"C", "c"}}));
        using testfiles::Record;
        testfiles::Write(root.filePath("gaps.dat"), Record("A", 100, 2) + Record("B", 82, 3) +
                                                        Record("C", 100, 2) + Record("", 0, 0) +
                                                        "..bbb...............aa");
        QFile::remove(root.filePath("n.dat"));
        const bool links = args.join(' ').contains("link") || args.join(' ').contains("dangling");
        if (links && (!Unix || Windows))
            QSKIP("symbolic links are followed by Wine before the program sees them");
        QFile::remove(root.filePath("link.dat"));
        QFile::remove(root.filePath("dangling.dat"));
        QVERIFY(QFile::link("w.dat", root.filePath("link.dat")));
        QVERIFY(QFile::link("none.dat", root.filePath("dangling.dat")));
        const QStringList before = testfiles::Contents(root.path());

        args.replaceInStrings(QRegularExpression("^@"), root.path());
        archive.replace(QRegularExpression("^@"), root.path());
        err.replace("@/", QFile::encodeName(root.path()) + '/');
        const Result r = Run(args, limit);
        QFile::remove(in.filePath("SPARSE"));
        if (err.endsWith('\n'))
            QCOMPARE(r.err.contains("usage:") ? r.err.left(r.err.indexOf("usage:")) : r.err, err);
        QVERIFY2(r.err.startsWith(err), r.err.constData());
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(testfiles::Read(archive), after);
        if (exitCode == 0) // every archive written passes check
            QCOMPARE(Run({"check", archive}).exitCode, 0);
        QVERIFY(QFileInfo(root.filePath("link.dat")).isSymLink()); // a link stays a link
        // No temporary file is left; a new archive is the one name added.
        QStringList expected = before;
        if (!after.isEmpty() && !expected.contains(QFileInfo(archive).fileName()))
            expected << QFileInfo(archive).fileName();
        expected.sort();
        QCOMPARE(testfiles::Contents(root.path()), expected);
    }

    // Killed or signalled while `replace` writes a large archive: the old archive keeps its
    // bytes and nothing else stays in its folder.
    void killedDuringReplace_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("unnamed"); // the file system has unnamed files (O_TMPFILE)
#ifdef Q_OS_LINUX
        QTest::newRow("SIGKILL") << SIGKILL << true;
        QTest::newRow("SIGKILL, no unnamed files: the next run removes what it left")
            << SIGKILL << false;
        QTest::newRow("SIGINT") << SIGINT << true;
        QTest::newRow("SIGTERM, no unnamed files") << SIGTERM << false;
        QTest::newRow("SIGHUP, no unnamed files") << SIGHUP << false;
#endif
    }
    void killedDuringReplace() {
#ifndef Q_OS_LINUX
        QSKIP("needs POSIX signals and /proc");
#else
        // Under Wine the signal reaches the loader; the Windows program's file, marked for
        // deletion until it is named, shows in the folder while it is written.
        const bool wine = !QString(QUILLMARROW_TEST_LAUNCHER).isEmpty();
        if (wine && !Windows)
            QSKIP("the signal must reach the program itself");
        QFETCH(int, signal);
        QFETCH(bool, unnamed);
        const QString dir = root.filePath("kill");
        QDir(dir).removeRecursively();
        QVERIFY(QDir().mkpath(dir));
        // 2 GiB of entry data, sparse on disk, so that copying it takes a while.
        const QString archive = QDir(dir).filePath("big.dat");
        const QByteArray head = testfiles::Record("S", 60, 1) +
                                testfiles::Record("BIG", 61, INT32_MAX - 70) +
                                testfiles::Record("", 0, 0) + "s";
        testfiles::Write(archive, head);
        QVERIFY(QFile::resize(archive, INT32_MAX - 9));
        testfiles::Write(root.filePath("S"), "new");
        struct stat before {};
        ::stat(QFile::encodeName(archive).constData(), &before);

        QProcess p;
        if (!unnamed && !wine)
            p.setChildProcessModifier([] { RefuseUnnamedFiles(); });
        Start(p, {"replace", archive, root.filePath("S")});
        QVERIFY(p.waitForStarted());
        const qint64 pid = p.processId();
        // It is writing once it holds a file in the archive's folder open besides the archive
        // (under Wine: once that file has bytes).
        const std::string inFolder = testfiles::NativePath(dir).string() + '/';
        const auto writing = [&] {
            for (const QString& name : wine ? testfiles::Contents(dir) : QStringList())
                if (name != "big.dat" && QFileInfo(QDir(dir).filePath(name)).size() > 0)
                    return true;
            for (const std::string& file :
                 wine ? std::vector<std::string>() : OpenFiles(p.processId()))
                if (file.starts_with(inFolder) && file != testfiles::NativePath(archive).string())
                    return true;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(writing() || p.state() == QProcess::NotRunning, 30000);
        QVERIFY2(p.state() == QProcess::Running, "the archive was not seen being written");
        ::kill(static_cast<pid_t>(p.processId()), signal);
        QVERIFY(p.waitForFinished(60000));
        QVERIFY(wine || p.exitStatus() == QProcess::CrashExit);
        if (signal == SIGKILL && !unnamed && !wine) {
            // Its hidden file stays, until the next run that writes in the folder.
            const QString left = QString(".quillmarrow-%1-0.part").arg(pid);
            QCOMPARE(testfiles::Contents(dir), (QStringList{left, "big.dat"}));
            QCOMPARE(Run({"create", QDir(dir).filePath("x.dat")}).exitCode, 0);
            QFile::remove(QDir(dir).filePath("x.dat"));
        }
        // A killed program's handles are closed by Wine's server a moment after it ends.
        QTRY_COMPARE_WITH_TIMEOUT(testfiles::Contents(dir), QStringList{"big.dat"}, 10000);
        struct stat after {};
        ::stat(QFile::encodeName(archive).constData(), &after);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_size, before.st_size);
        QFile f(archive);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.read(head.size()), head);
        f.close();
        QDir(dir).removeRecursively();
#endif
    }

    // One entry of 1 KiB in an archive of 5,000 replaced by a file: the bytes that differ
    // from the old archive (as cmp -l counts them) are the record's and the data's alone.
    void changedBytes_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<qint64>("appended");
        QTest::newRow("2,000 bytes: behind the end") << 2000 << qint64(2000);
        QTest::newRow("1,000 bytes: in its slot") << 1000 << qint64(0);
    }
    void changedBytes() {
        QFETCH(int, size);
        QFETCH(qint64, appended);
        QList<QPair<QByteArray, QByteArray>> entries;
        for (int k = 0; k < 5000; ++k)
            entries.append({"E" + QByteArray::number(k), QByteArray(1024, char('a' + k % 26))});
        const QByteArray old = testfiles::Archive(entries);
        testfiles::Write(root.filePath("c.dat"), old);
        testfiles::Write(folder() + "/E10", QByteArray(size, '*'));
        QCOMPARE(Run({"replace", root.filePath("c.dat"), folder() + "/E10"}).exitCode, 0);
        const QByteArray now = testfiles::Read(root.filePath("c.dat"));
        QCOMPARE(now.size(), old.size() + appended);
        qint64 changed = 0;
        for (qsizetype k = 0; k < old.size(); ++k)
            changed += old[k] != now[k];
        QVERIFY2(changed <= 20 + (appended ? 0 : size), qPrintable(QString::number(changed)));
        QCOMPARE(now.mid(old.size()), QByteArray(int(appended), '*'));
    }

    // Random archives of the canonical layout: extracting every entry and creating an archive
    // of the files in directory order gives the same bytes. Then a random sequence of edits:
    // each passes check, holds what it should, and leaves every byte of the old archive that
    // it did not need as it was (compact gives the canonical layout again).
    void roundTrip() {
        QRandomGenerator rng(20261209);
        QSet<QByteArray> folded;
        const auto newName = [&] {
            for (;;) {
                QByteArray name(1, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"[rng.bounded(26)]);
                for (int i = rng.bounded(0, 12); i > 0; --i)
                    name += "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-.!~"
                        [rng.bounded(67)];
                if (!name.endsWith('.') && !WindowsDevice(name) &&
                    !folded.contains(name.toLower())) {
                    folded.insert(name.toLower());
                    return name;
                }
            }
        };
        const auto data = [&](int size) {
            QByteArray bytes(size, '\0');
            for (char& c : bytes)
                c = char(rng.bounded(256));
            return bytes;
        };
        // The records of an archive: name, offset, size.
        struct Entry {
            QByteArray Name;
            qint64 Offset, Size;
        };
        const auto records = [](const QByteArray& bytes) {
            QList<Entry> list;
            for (qsizetype at = 0; at + 20 <= bytes.size() && bytes[at] != '\0'; at += 20) {
                qint32 offset, size;
                std::memcpy(&offset, bytes.constData() + at + 12, 4);
                std::memcpy(&size, bytes.constData() + at + 16, 4);
                list.append({bytes.mid(at, 12).replace('\0', ""), qFromLittleEndian(offset),
                             qFromLittleEndian(size)});
            }
            return list;
        };
        const QString archive = root.filePath("n.dat"), files = root.filePath("u");
        for (int round = 0; round < 10; ++round) {
            QList<QPair<QByteArray, QByteArray>> entries;
            folded.clear();
            const int count = rng.bounded(0, 20);
            while (entries.size() < count)
                entries.append({newName(), data(rng.bounded(0, 5000))});
            const QByteArray bytes = testfiles::Archive(entries);
            testfiles::Write(root.filePath("r.dat"), bytes);
            QDir(folder()).removeRecursively();
            QDir().mkpath(folder());
            QFile::remove(archive);
            QCOMPARE(Run({"extract", root.filePath("r.dat"), folder()}).exitCode, 0);
            QStringList args{"create", archive};
            for (const auto& [name, data] : entries)
                args << QDir(folder()).filePath(QString::fromLatin1(name));
            const Result r = Run(args);
            QCOMPARE(r.err, QByteArray());
            QCOMPARE(testfiles::Read(archive), bytes);

            for (int edit = 0; edit < 6; ++edit) {
                const QByteArray before = testfiles::Read(archive);
                QDir(files).removeRecursively();
                QDir().mkpath(files);
                const int kind = entries.isEmpty() ? 1 : rng.bounded(edit == 5 ? 5 : 4);
                const int k = entries.isEmpty() ? 0 : rng.bounded(int(entries.size()));
                QStringList args{QStringList{"replace", "add", "remove", "update", "compact"}[kind],
                                 archive};
                QSet<QByteArray> touched; // entries whose records change
                const auto file = [&](const QByteArray& name, const QByteArray& bytes) {
                    testfiles::Write(files + "/" + QString::fromLatin1(name), bytes);
                    args << files + "/" + QString::fromLatin1(name);
                    touched.insert(name);
                };
                if (kind == 0 || kind == 3) { // fewer bytes or more
                    const qsizetype old = entries[k].second.size();
                    entries[k].second = data(rng.bounded(0, int(old) * 2 + 10));
                    file(entries[k].first, entries[k].second);
                }
                if (kind == 1 || kind == 3) {
                    entries.append({newName(), data(rng.bounded(0, 3000))});
                    file(entries.last().first, entries.last().second);
                }
                if (kind == 2) {
                    args << QString::number(k);
                    folded.remove(entries[k].first.toLower());
                    entries.removeAt(k);
                }
                const QString what =
                    QString("round %1, edit %2: %3").arg(round).arg(edit).arg(args[0]);
                QVERIFY2(Run(args).exitCode == 0, qPrintable(what));
                QVERIFY2(Run({"check", archive}).exitCode == 0, qPrintable(what));
                const QByteArray after = testfiles::Read(archive);
                if (kind == 4) {
                    QCOMPARE(after, testfiles::Archive(entries));
                    continue;
                }
                const QList<Entry> now = records(after);
                QCOMPARE(now.size(), entries.size());
                // Bytes the edit may change: the directory, and the data of what it replaced.
                QByteArray kept = before;
                const qsizetype directory = qMin((now.size() + 1) * 20, kept.size());
                for (qsizetype i = 0; i < now.size(); ++i) {
                    QCOMPARE(now[i].Name, entries[i].first);
                    QVERIFY2(after.mid(now[i].Offset, now[i].Size) == entries[i].second,
                             qPrintable(what));
                    if (touched.contains(now[i].Name) && now[i].Offset < before.size())
                        kept.replace(now[i].Offset, now[i].Size,
                                     after.mid(now[i].Offset, now[i].Size));
                }
                kept.replace(0, directory, after.left(directory));
                QVERIFY2(after.left(before.size()) == kept, qPrintable(what));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
