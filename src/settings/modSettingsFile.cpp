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

} // namespace

Place Choose(const QString& ProgramFolder, const QString& UserFolder, const FolderTest& Writable) {
    // Joined with the platform's separator and not normalised, as the program joins paths.
    const QString beside = ProgramFolder + QDir::separator() + FileName;
    if (UserFolder.isEmpty() || QFileInfo::exists(beside) || Writable(ProgramFolder))
        return {beside, false};
    return {QDir(UserFolder).filePath(FileName), true};
}

Place Choose(const QString& ProgramFolder) {
    return Choose(ProgramFolder,
                  QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                  CanMakeFiles);
}

} // namespace modSettingsFile
