#pragma once

#include <QString>

#include <functional>
#include <memory>

class QFileDialog;
class QWidget;

// The folder picker: a modal dialog over an owner window that shows only folders.
namespace modBrowseForFolder {

// Opens the dialog with the title (none when empty) at InitialFolder, so that accepting at once
// returns it; a folder that does not exist leaves the dialog at its own default. Returns the
// chosen folder's full path as the dialog gives it (in the platform's separators), or "" when
// the user cancels.
QString BrowseForFolder(const QString& InitialFolder, QWidget* Owner, const QString& Title);

// The same for a folder to write into: the user may also type the path of a folder that does not
// exist yet, which is returned as typed (made absolute) for the caller to create. Tests answer it
// through the same handler.
QString BrowseForOutputFolder(const QString& InitialFolder, QWidget* Owner, const QString& Title);

// Makes the dialog without showing it: over Owner, titled Title, showing only folders, opened
// at InitialFolder.
std::unique_ptr<QFileDialog> MakeDialog(const QString& InitialFolder, QWidget* Owner,
                                        const QString& Title);

// Shows a dialog that MakeDialog made; the chosen folder in the platform's separators, or "".
QString ShowDialog(QFileDialog& dialog);

// Replaces the dialog (tests answer it); an empty handler restores the real dialog.
using Handler =
    std::function<QString(const QString& InitialFolder, QWidget* Owner, const QString& Title)>;
void SetHandler(Handler handler);

// Replaces only the showing of the real dialog (tests look at it and answer it): returns the
// dialog's result as exec() would. An empty one restores it.
using ShowHandler = std::function<int(QFileDialog& dialog)>;
void SetShowHandler(ShowHandler handler);

} // namespace modBrowseForFolder
