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

char* toString(const EntryResult::Kind& kind) {
    using K = EntryResult::Kind;
    static const QMap<K, const char*> names{{K::Written, "Written"},
                                            {K::CutShort, "CutShort"},
                                            {K::UnsafeName, "UnsafeName"},
                                            {K::NegativeRange, "NegativeRange"},
                                            {K::RecordCutShort, "RecordCutShort"},
                                            {K::NotInDirectory, "NotInDirectory"},
                                            {K::ArchiveChanged, "ArchiveChanged"},
                                            {K::WouldReplaceArchive, "WouldReplaceArchive"},
                                            {K::ReplacedByLater, "ReplacedByLater"},
                                            {K::ReadFailed, "ReadFailed"},
                                            {K::WriteFailed, "WriteFailed"},
                                            {K::Cancelled, "Cancelled"},
                                            {K::NotOpened, "NotOpened"}};
    return qstrdup(names.value(kind, "?"));
}

char* toString(const OpenError::Kind& kind) {
    using K = OpenError::Kind;
    static const QMap<K, const char*> names{{K::None, "None"},
                                            {K::NotFound, "NotFound"},
                                            {K::IsFolder, "IsFolder"},
                                            {K::NotRegularFile, "NotRegularFile"},
                                            {K::NotAFolder, "NotAFolder"},
                                            {K::PermissionDenied, "PermissionDenied"},
                                            {K::Unreadable, "Unreadable"}};
    return qstrdup(names.value(kind, "?"));
}

} // namespace archive
