#pragma once

// Small helpers the tests share: archives and files made in code, and what a folder holds.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <filesystem>
#include <string>

namespace testfiles {

// One directory record: the name cut or NUL-padded to 12 bytes, then offset and size.
QByteArray Record(const QByteArray& name, std::int32_t offset, std::int32_t size);

// An archive of the given entries (name, data), its directory ended by a record of NULs.
QByteArray Archive(const QList<QPair<QByteArray, QByteArray>>& entries);

void Write(const QString& path, const QByteArray& bytes);
QByteArray Read(const QString& path);

// The names in a folder, hidden ones included, sorted.
QStringList Contents(const QString& folder);

// A path the archive core takes, from a test's QString.
std::filesystem::path Path(const QString& path);

} // namespace testfiles
