// The clean-up both programs install: a signal that ends the program while an entry is written
// removes the entry's unfinished file, then ends the program as the signal would.

#include "TestFiles.h"
#include "archive/FileIO.h"
#include "archive/Signals.h"

#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#ifdef Q_OS_UNIX
#include <sys/wait.h>
#include <unistd.h>
#endif

class TestSignals : public QObject {
    Q_OBJECT

private slots:
    void partialFileRemoved_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("ignored"); // the program was started ignoring it
#ifndef Q_OS_UNIX
        QSKIP("needs fork and POSIX signals");
#else
        QTest::newRow("SIGINT") << SIGINT << false;
        QTest::newRow("SIGTERM") << SIGTERM << false;
        QTest::newRow("SIGHUP") << SIGHUP << false;
        QTest::newRow("SIGHUP ignored (nohup) stays ignored") << SIGHUP << true;
#endif
    }
    void partialFileRemoved() {
#ifdef Q_OS_UNIX
        QFETCH(int, signal);
        QFETCH(bool, ignored);
        QTemporaryDir dir;
        const std::filesystem::path path = testfiles::NativePath(dir.path());
        // In a child, a file being written under the entry's name when the signal comes.
        const pid_t child = ::fork();
        if (child == 0) {
            if (ignored)
                std::signal(signal, SIG_IGN);
            archive::RemovePartialFileOnSignals();
            archive::io::OutputFolder folder;
            archive::io::NewFile file;
            std::error_code ec;
            if (folder.Open(path) || !folder.CreateNamed(file, "ENTRY", ec))
                ::_exit(3);
            file.Write("x", 1, ec);
            std::raise(signal);
            ::_exit(0); // leaves the file as it is
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        if (ignored) {
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            QCOMPARE(testfiles::Contents(dir.path()), QStringList{"ENTRY"});
        } else {
            QVERIFY(WIFSIGNALED(status));
            QCOMPARE(WTERMSIG(status), signal);
            QCOMPARE(testfiles::Contents(dir.path()), QStringList{});
        }
#endif
    }
};

QTEST_GUILESS_MAIN(TestSignals)
#include "tst_signals.moc"
