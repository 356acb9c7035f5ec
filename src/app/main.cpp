// Quillmarrow: starts into its main window, opening the file or folder named on its command line.

#include "Version.h"
#include "archive/Signals.h"
#include "ui/main/frm.h"

#include <QApplication>
#include <QCommandLineParser>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // A write past the file-size limit then fails with an error that is reported.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // Ended by a signal while an entry is written, the program leaves no temporary file.
    archive::RemovePartialFileOnSignals();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmarrow"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLMARROW_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quillmarrow"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lists the entries of simple archive files and copies them into a folder."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("PATH"),
                                 QStringLiteral("An archive to list, or a folder to open."),
                                 QStringLiteral("[PATH]"));
    parser.process(app);
    const QStringList paths = parser.positionalArguments();
    if (paths.size() > 1) {
        std::fputs("quillmarrow: give one PATH at most\n", stderr);
        return 2;
    }

    frm window;
    if (!paths.isEmpty())
        window.OpenPath(paths.first());
    window.show();
    return QApplication::exec();
}
