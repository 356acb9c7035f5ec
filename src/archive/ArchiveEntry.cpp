#include "archive/ArchiveEntry.h"

#include <algorithm>

namespace archive {

namespace {

std::int32_t ReadInt32LE(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t pos = at + i;
        const std::uint32_t byte = pos < bytes.size() ? static_cast<unsigned char>(bytes[pos]) : 0;
        value |= byte << (8 * i);
    }
    return static_cast<std::int32_t>(value);
}

void AppendInt32LE(std::string& out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFFu));
}

} // namespace

std::string CutName(std::string_view nameBytes) {
    nameBytes = nameBytes.substr(0, NameSize);
    return std::string(nameBytes.substr(0, nameBytes.find('\0')));
}

ArchiveEntry DecodeRecord(std::string_view recordBytes) {
    ArchiveEntry entry;
    entry.Name = CutName(recordBytes);
    entry.Offset = ReadInt32LE(recordBytes, NameSize);
    entry.Size = ReadInt32LE(recordBytes, NameSize + 4);
    entry.Complete = recordBytes.size() >= RecordSize;
    return entry;
}

std::string EncodeRecord(std::string_view name, std::int32_t offset, std::int32_t size) {
    std::string record(name.substr(0, NameSize));
    record.resize(NameSize, '\0');
    AppendInt32LE(record, offset);
    AppendInt32LE(record, size);
    return record;
}

} // namespace archive
