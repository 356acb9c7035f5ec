#include "TestFiles.h"

#include "archive/ArchiveEntry.h"
#include "archive/ArchiveWriter.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace testfiles {

QByteArray Record(const QByteArray& name, std::int32_t offset, std::int32_t size) {
    const std::string record = archive::EncodeRecord(name.toStdString(), offset, size);
    return QByteArray(record.data(), static_cast<qsizetype>(record.size()));
}

QByteArray Archive(const QList<QPair<QByteArray, QByteArray>>& entries) {
    std::vector<archive::NewEntry> list;
    for (const auto& [name, data] : entries)
        list.push_back({name.toStdString(), data.toStdString()});
    const std::string bytes = archive::BuildArchive(list);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        QTest::qFail(qPrintable("cannot write " + path), __FILE__, __LINE__);
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList Contents(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

Files FilesIn(const QString& folder) {
    Files files;
    for (const QString& name : Contents(folder))
        files[name] = Read(QDir(folder).filePath(name));
    return files;
}

} // namespace testfiles

namespace archive {

namespace {

// The name of an enumerator, from its enumeration's names in order.
template <typename Kind, std::size_t N> char* Named(Kind kind, const char* const (&names)[N]) {
    const auto k = static_cast<std::size_t>(kind);
    return qstrdup(k < N ? names[k] : "?");
}

} // namespace

char* toString(const EntryResult::Kind& kind) {
    static const char* const Names[] = {
        "Written",         "CutShort",       "UnsafeName",     "NegativeRange",
        "RecordCutShort",  "NotInDirectory", "ArchiveChanged", "WouldReplaceArchive",
        "ReplacedByLater", "ReadFailed",     "WriteFailed",    "Cancelled",
        "NotOpened"};
    return Named(kind, Names);
}

char* toString(const OpenError::Kind& kind) {
    static const char* const Names[] = {"None",           "NotFound",   "IsFolder",
                                        "NotRegularFile", "NotAFolder", "PermissionDenied",
                                        "Unreadable"};
    return Named(kind, Names);
}

} // namespace archive
