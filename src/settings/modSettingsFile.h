#pragma once

#include <QString>

#include <functional>

// Where the program keeps its settings file, and where its window starts the first time.
namespace modSettingsFile {

struct Place {
    QString FileName;
    bool CreateFolder = false; // the first save makes the file's folder
    bool Installed = false;    // an installed copy, which starts in the home folder
};

// Whether a folder lets the program make files in it.
using FolderTest = std::function<bool(const QString& Folder)>;

// Whether the program runs from a folder that installed programs share: the folder it is
// installed to by the build (CMake's CMAKE_INSTALL_FULL_BINDIR), or one of the system's program
// folders (/usr/bin, /usr/local/bin, /bin, /usr/games, /usr/local/games, /opt/bin), compared
// with links resolved. On Windows also any folder holding Quillmarrow.installed, the file that
// the installer leaves beside the program.
bool IsInstalled(const QString& ProgramFolder);

// "Quillmarrow.ini" in the program's folder when it is there or that folder is writable (a
// portable copy keeps its settings beside it); otherwise in userFolder, made by the first save.
// An installed copy always uses userFolder, whoever runs it and whatever lies beside it. An
// empty userFolder (no home) also means the program's folder.
Place Choose(const QString& ProgramFolder, const QString& UserFolder, const FolderTest& Writable,
             bool Installed = false);

// The same with the user's configuration folder (QStandardPaths::AppConfigLocation), a test
// that makes and removes a file in the program's folder, and IsInstalled.
Place Choose(const QString& ProgramFolder);

} // namespace modSettingsFile
