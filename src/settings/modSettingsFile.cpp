#include "settings/modSettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace modSettingsFile {

namespace {

const QString FileName = QStringLiteral("Quillmarrow.ini");

// Making a file answers for every kind of protection (modes, access lists, read-only mounts).
bool CanMakeFiles(const QString& folder) {
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".Quillmarrow-XXXXXX")));
    return probe.open();
}

// A folder with its links resolved; as given when it does not exist.
QString Resolved(const QString& folder) {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(folder) : canonical;
}

} // namespace

bool IsInstalled(const QString& ProgramFolder) {
    if (ProgramFolder.isEmpty())
        return false;
#ifdef _WIN32
    // Wherever the installer puts the program (Program Files or a folder chosen), it leaves this
    // file beside it; a portable copy has none.
    if (QFileInfo::exists(QDir(ProgramFolder).filePath(QStringLiteral("Quillmarrow.installed"))))
        return true;
#endif
    static const QStringList shared = [] {
        QStringList folders{QStringLiteral(QUILLMARROW_INSTALL_BINDIR)};
#ifndef _WIN32
        folders << QStringLiteral("/usr/bin") << QStringLiteral("/usr/local/bin")
                << QStringLiteral("/bin") << QStringLiteral("/usr/games")
                << QStringLiteral("/usr/local/games") << QStringLiteral("/opt/bin");
#endif
        for (QString& folder : folders)
            folder = Resolved(folder);
        return folders;
    }();
    return shared.contains(Resolved(ProgramFolder));
}

Place Choose(const QString& ProgramFolder, const QString& UserFolder, const FolderTest& Writable,
             bool Installed) {
    // Joined with the platform's separator and not normalised, as the program joins paths.
    const QString beside = ProgramFolder + QDir::separator() + FileName;
    if (UserFolder.isEmpty() ||
        (!Installed && (QFileInfo::exists(beside) || Writable(ProgramFolder))))
        return {beside, false, Installed};
    return {QDir(UserFolder).filePath(FileName), true, Installed};
}

Place Choose(const QString& ProgramFolder) {
    return Choose(ProgramFolder,
                  QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation), CanMakeFiles,
                  IsInstalled(ProgramFolder));
}

} // namespace modSettingsFile
