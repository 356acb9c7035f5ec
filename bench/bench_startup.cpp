// The start of the program until its window is shown, against a bare Qt program that shows an
// empty QMainWindow, and the start in a folder of 200,000 files against the start in an empty
// one: whole processes on the offscreen platform, each quitting as soon as its window is
// exposed, timed from fork to exit.
//
// This one program is both: `bench_startup WORKFOLDER RUNS` measures, and runs itself as
// `bench_startup --bare` and as `bench_startup --program APPFOLDER`, which starts the way the
// program's main() does, in a program folder of its own.

#include "BenchSupport.h"

#include "Version.h"
#include "ui/main/frm.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>
#include <QWindow>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

constexpr int StartsPerRun = 3; // process starts vary more than the in-process figures
constexpr int LargeFolderFiles = 200000;

// Quits the event loop once a window is exposed; a start that never gets there fails.
class QuitWhenExposed : public QObject {
public:
    QuitWhenExposed() {
        QTimer::singleShot(30000, qApp, [] { QCoreApplication::exit(1); });
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && watched->isWindowType() &&
            static_cast<QWindow*>(watched)->isExposed())
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return false;
    }
};

int Bare(int argc, char** argv) {
    QApplication app(argc, argv);
    QuitWhenExposed quit;
    app.installEventFilter(&quit);
    QMainWindow window;
    window.show();
    return QApplication::exec();
}

// What the program's main() does, in a program folder given here.
int Program(int argc, char** argv, const QString& appFolder) {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication app(argc, argv);
    QuitWhenExposed quit;
    app.installEventFilter(&quit);
    QApplication::setApplicationName(QStringLiteral("Quillmarrow"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLMARROW_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quillmarrow"));
    frm::SetAppPath(appFolder);
    frm window;
    window.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--bare") == 0)
        return Bare(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--program") == 0)
        return Program(argc, argv, QString::fromLocal8Bit(argv[2]));

    const bench::Args args = bench::ParseArgs(argc, argv);
    try {
        // The program's folder holds a sample archive, as the program's own folder does.
        const fs::path appFolder = args.Work / "startup";
        bench::FreshFolder(appFolder);
        bench::WriteArchive(appFolder / "Sample.dat", {{"README.TXT", 100}, {"DATA.BIN", 4000}});
        // The program's start lists the folder it is in: one of many empty files, one without.
        const fs::path largeFolder = args.Work / "startup-large";
        const fs::path emptyFolder = args.Work / "startup-empty";
        bench::FreshFolder(largeFolder);
        bench::FreshFolder(emptyFolder);
        for (int k = 0; k < LargeFolderFiles; ++k)
            std::ofstream(largeFolder / ("file" + std::to_string(k) + ".dat"));

        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("QT_LOGGING_RULES", "*.warning=false", 1); // the platform's notes, every start
        const std::string self = argv[0];
        const auto program = [&](const fs::path& folder) {
            return std::vector<std::string>{self, "--program", folder.string()};
        };
        const std::vector<std::string> bare{self, "--bare"};
        // First starts, not counted, load the libraries and the folders into the page cache.
        for (const auto& command : {bare, program(appFolder), program(largeFolder)})
            bench::Run(command);
        std::vector<double> bareTimes, programTimes, largeTimes, emptyTimes;
        for (int run = 0; run < args.Runs * StartsPerRun; ++run) {
            bareTimes.push_back(bench::Run(bare).Seconds);
            programTimes.push_back(bench::Run(program(appFolder)).Seconds);
            largeTimes.push_back(bench::Run(program(largeFolder)).Seconds);
            emptyTimes.push_back(bench::Run(program(emptyFolder)).Seconds);
        }
        for (const fs::path& folder : {appFolder, largeFolder, emptyFolder})
            fs::remove_all(folder);

        const double ratio = bench::Median(programTimes) / bench::Median(bareTimes);
        bench::Row("start until the window is shown vs an empty QMainWindow",
                   bench::Format(bench::Median(programTimes) * 1e3, "ms", 1),
                   bench::Format(bench::Median(bareTimes) * 1e3, "ms", 1),
                   "ratio " + bench::Format(ratio, ""), "<= 1.5", ratio <= 1.5);
        const double large = bench::Median(largeTimes), empty = bench::Median(emptyTimes);
        bench::Row("start in a folder of 200,000 files vs an empty folder",
                   bench::Format(large, "s"), bench::Format(empty, "s"),
                   "ratio " + bench::Format(large / empty, ""), "<= 1.5 s", large <= 1.5);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_startup: %s\n", e.what());
        return 1;
    }
    return 0;
}
