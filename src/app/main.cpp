// Quillmarrow: starts into its main window. It takes no command-line arguments.

#include "ui/main/frm.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // A write past the file-size limit then fails with an error that is reported.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmarrow"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLMARROW_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quillmarrow"));
    frm window;
    window.show();
    return QApplication::exec();
}
