#include "winutil/modFileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace modFileDialog {

namespace {

OpenHandler& CurrentOpenHandler() {
    static OpenHandler handler;
    return handler;
}

SaveHandler& CurrentSaveHandler() {
    static SaveHandler handler;
    return handler;
}

} // namespace

QStringList OpenFiles(const QString& InitialFolder, QWidget* Owner, const QString& Title,
                      bool Multiple) {
    if (const OpenHandler& handler = CurrentOpenHandler())
        return handler(InitialFolder, Title, Multiple);
    QStringList files;
    if (Multiple)
        files = QFileDialog::getOpenFileNames(Owner, Title, InitialFolder);
    else if (const QString file = QFileDialog::getOpenFileName(Owner, Title, InitialFolder);
             !file.isEmpty())
        files << file;
    for (QString& file : files)
        file = QDir::toNativeSeparators(file);
    return files;
}

QString SaveFile(const QString& InitialFolder, QWidget* Owner, const QString& Title,
                 const QString& SuggestedName) {
    if (const SaveHandler& handler = CurrentSaveHandler())
        return handler(InitialFolder, Title, SuggestedName);
    QFileDialog dialog(Owner, Title, InitialFolder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QFileInfo(SuggestedName).suffix());
    dialog.selectFile(SuggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

void SetOpenHandler(OpenHandler handler) {
    CurrentOpenHandler() = std::move(handler);
}

void SetSaveHandler(SaveHandler handler) {
    CurrentSaveHandler() = std::move(handler);
}

} // namespace modFileDialog
