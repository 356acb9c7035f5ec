#include "winutil/modOpenFolder.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace modOpenFolder {

namespace {

// A scheme of one letter would be a drive ("C:\Games"), so it takes two or more.
bool HasScheme(const QString& target) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(target).hasMatch();
}

} // namespace

bool OpenFolder(const QString& target) {
    if (target.isEmpty())
        return false;
    const QUrl url = HasScheme(target) ? QUrl(target)
                                       : QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
    return QDesktopServices::openUrl(url);
}

} // namespace modOpenFolder
