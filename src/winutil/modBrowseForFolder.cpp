#include "winutil/modBrowseForFolder.h"

#include <QDir>
#include <QFileDialog>

namespace modBrowseForFolder {

namespace {

QString& StoredInitialFolder() {
    static QString folder;
    return folder;
}

Handler& CurrentHandler() {
    static Handler handler;
    return handler;
}

} // namespace

std::unique_ptr<QFileDialog> MakeDialog(const QString& InitialFolder, QWidget* Owner,
                                        const QString& Title) {
    auto dialog = std::make_unique<QFileDialog>(Owner, Title, InitialFolder);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    return dialog;
}

QString ShowDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return QDir::toNativeSeparators(dialog.selectedFiles().value(0));
}

QString BrowseForFolder(const QString& InitialFolder, QWidget* Owner, const QString& Title) {
    StoredInitialFolder() = InitialFolder;
    if (const Handler& handler = CurrentHandler())
        return handler(StoredInitialFolder(), Owner, Title);
    const std::unique_ptr<QFileDialog> dialog = MakeDialog(StoredInitialFolder(), Owner, Title);
    return ShowDialog(*dialog);
}

QString InitialFolder() {
    return StoredInitialFolder();
}

void SetHandler(Handler handler) {
    CurrentHandler() = std::move(handler);
}

} // namespace modBrowseForFolder
