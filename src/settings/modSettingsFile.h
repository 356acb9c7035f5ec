#pragma once

#include <QString>

#include <functional>

// Where the program keeps its settings file.
namespace modSettingsFile {

struct Place {
    QString FileName;
    bool CreateFolder = false; // the first save makes the file's folder
};

// Whether a folder lets the program make files in it.
using FolderTest = std::function<bool(const QString& Folder)>;

// "Quillmarrow.ini" in the program's folder when it is there or that folder is writable (a
// portable copy keeps its settings beside it); otherwise in userFolder, made by the first save.
// An empty userFolder (no home) also means the program's folder.
Place Choose(const QString& ProgramFolder, const QString& UserFolder, const FolderTest& Writable);

// The same with the user's configuration folder (QStandardPaths::AppConfigLocation) and a test
// that makes and removes a file in the program's folder.
Place Choose(const QString& ProgramFolder);

} // namespace modSettingsFile
