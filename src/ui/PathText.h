#pragma once

// A path between Qt's text and the system's own form. Header-only and Qt Core only, so that the
// windows and the tests convert alike without linking anything more. The archive core stays
// free of Qt and takes only std::filesystem paths.

#include <QFile>
#include <QString>

#include <filesystem>

namespace pathtext {

// Qt's text to the system's form: UTF-16 (lossless) on Windows, QFile::encodeName's bytes
// elsewhere.
inline std::filesystem::path NativePath(const QString& path) {
#ifdef _WIN32
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// A path as it is shown: bytes not valid in the locale's encoding become replacement
// characters.
inline QString ShownPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return QString::fromStdWString(path.native());
#else
    return QString::fromLocal8Bit(path.native());
#endif
}

} // namespace pathtext
