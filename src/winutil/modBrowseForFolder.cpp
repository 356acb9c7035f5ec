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

QString BrowseForFolder(const QString& InitialFolder, QWidget* Owner, const QString& Title) {
    StoredInitialFolder() = InitialFolder;
    if (const Handler& handler = CurrentHandler())
        return handler(StoredInitialFolder(), Owner, Title);
    const QString folder = QFileDialog::getExistingDirectory(Owner, Title, StoredInitialFolder(),
                                                             QFileDialog::ShowDirsOnly);
    return QDir::toNativeSeparators(folder);
}

QString InitialFolder() {
    return StoredInitialFolder();
}

void SetHandler(Handler handler) {
    CurrentHandler() = std::move(handler);
}

} // namespace modBrowseForFolder
