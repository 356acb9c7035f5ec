// Quillmarrow: starts into its main window, opening the file or folder named on its command line.

#include "Version.h"
#include "archive/Signals.h"
#include "ui/PathText.h"
#include "ui/main/frm.h"
#include "winutil/clsEndSignals.h"

#include <QApplication>
#include <QCommandLineParser>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string_view>

namespace {

// The PATH operand with its bytes kept (as pathtext::PathText gives them): Qt decodes the
// arguments, which turns bytes that are not valid UTF-8 into replacement characters. On
// Windows Qt's arguments are the command line's own UTF-16 text. The parser has accepted the
// arguments, so every one left in argv other than "--" and the options (which all stand
// alone) is an operand.
QString PathArgument(int argc, char** argv, const QString& decoded) {
#ifdef _WIN32
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return decoded;
#else
    bool operands = false;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (operands || arg == "-" || !arg.starts_with('-'))
            return pathtext::PathText(std::filesystem::path(arg));
        operands = arg == "--";
    }
    return decoded;
#endif
}

// Whether an option before any "--" asks for help or the version (as addHelpOption and
// addVersionOption spell them).
bool AsksForHelpOrVersion(int argc, char** argv) {
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg == "--")
            return false;
        for (const std::string_view option : {"-h", "-?", "--help", "--help-all", "-v", "--version"})
            if (arg == option)
                return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // A write past the file-size limit then fails with an error that is reported.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // Ended by a signal while an entry is written, the program leaves no temporary file.
    archive::RemovePartialFileOnSignals();
    QCoreApplication::setApplicationName(QStringLiteral("Quillmarrow"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLMARROW_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lists the entries of simple archive files and copies them into a folder."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("PATH"),
                                 QStringLiteral("An archive to list, or a folder to open."),
                                 QStringLiteral("[PATH]"));
    // Help and the version are printed before the window system is reached, so that they
    // work without a display.
    if (AsksForHelpOrVersion(argc, argv)) {
        QCoreApplication terminal(argc, argv);
        parser.process(terminal); // prints and exits
    }

    QApplication app(argc, argv);
    QApplication::setDesktopFileName(QStringLiteral("quillmarrow"));
    parser.process(app);
    const QStringList paths = parser.positionalArguments();
    if (paths.size() > 1) {
        std::fputs("quillmarrow: give one PATH at most\n", stderr);
        return 2;
    }

    int status = 0, signal = 0;
    {
        frm window;
        // SIGINT, SIGTERM and SIGHUP end the window as File, Exit does, cancelling a run that
        // goes on; the window, and with it the temporary folder, is gone before main returns.
        const clsEndSignals ending([&window] { window.Quit(); });
        if (!paths.isEmpty())
            window.OpenPath(PathArgument(argc, argv, paths.first()));
        window.show();
        status = QApplication::exec();
        signal = ending.Received();
    }
    return signal ? 128 + signal : status;
}
