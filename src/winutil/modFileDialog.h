#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// The file pickers: modal dialogs over an owner window, for files to read and a file to write.
namespace modFileDialog {

// Files to read, in InitialFolder: their full paths in the platform's separators, or none when
// the user cancels. One file only unless Multiple.
QStringList OpenFiles(const QString& InitialFolder, QWidget* Owner, const QString& Title,
                      bool Multiple);

// A file to write, in InitialFolder (the dialog asks before an existing file is chosen): its
// full path in the platform's separators, or "" when the user cancels. The dialog suggests
// SuggestedName, and a name typed without an extension gets SuggestedName's.
QString SaveFile(const QString& InitialFolder, QWidget* Owner, const QString& Title,
                 const QString& SuggestedName);

// Replace the dialogs (tests answer them); an empty handler restores the real one.
using OpenHandler =
    std::function<QStringList(const QString& InitialFolder, const QString& Title, bool Multiple)>;
void SetOpenHandler(OpenHandler handler);
using SaveHandler = std::function<QString(const QString& InitialFolder, const QString& Title,
                                          const QString& SuggestedName)>;
void SetSaveHandler(SaveHandler handler);

} // namespace modFileDialog
