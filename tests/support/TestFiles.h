#pragma once

// Small helpers the tests share: archives and files made in code, and what a folder holds.

#include "archive/Archive.h"
#include "archive/Extract.h"
#include "ui/PathText.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace testfiles {

// One directory record: the name cut or NUL-padded to 12 bytes, then offset and size.
QByteArray Record(const QByteArray& name, std::int32_t offset, std::int32_t size);

// An archive of the given entries (name, data), its directory ended by a record of NULs.
QByteArray Archive(const QList<QPair<QByteArray, QByteArray>>& entries);

void Write(const QString& path, const QByteArray& bytes);
QByteArray Read(const QString& path);

// The names in a folder, hidden ones included, sorted.
QStringList Contents(const QString& folder);

// What a folder holds: each name, hidden ones included, with the file's bytes.
using Files = QMap<QString, QByteArray>;
Files FilesIn(const QString& folder);

// A path the archive core takes, from a test's QString, converted as the windows convert it.
using pathtext::NativePath;

} // namespace testfiles

namespace archive {
// Result kinds by name in failed comparisons (found by QTest through argument lookup).
char* toString(const EntryResult::Kind& kind);
char* toString(const OpenError::Kind& kind);
} // namespace archive
