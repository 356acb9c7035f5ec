#include "archive/ArchiveEntry.h"

#include <algorithm>
#include <cstring>

namespace archive {

namespace {

std::int32_t Int32LE(const char* at) {
    const auto byte = [at](int i) { return std::uint32_t{static_cast<unsigned char>(at[i])}; };
    return static_cast<std::int32_t>(byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24);
}

void AppendInt32LE(std::string& out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFFu));
}

} // namespace

std::string_view CutName(std::string_view nameBytes) {
    nameBytes = nameBytes.substr(0, NameSize);
    return nameBytes.substr(0, nameBytes.find('\0'));
}

ArchiveEntry DecodeRecord(std::string_view recordBytes) {
    // A record cut short by the end of the file reads as if padded with NULs.
    char record[RecordSize] = {};
    std::memcpy(record, recordBytes.data(), std::min(recordBytes.size(), RecordSize));
    ArchiveEntry entry;
    entry.Name = CutName({record, NameSize});
    entry.Offset = Int32LE(record + NameSize);
    entry.Size = Int32LE(record + NameSize + 4);
    entry.Complete = recordBytes.size() >= RecordSize;
    return entry;
}

std::uint64_t PresentBytes(const ArchiveEntry& entry, std::uint64_t archiveSize) {
    if (entry.Offset < 0 || entry.Size < 0)
        return 0;
    const auto offset = static_cast<std::uint64_t>(entry.Offset);
    return offset < archiveSize ? std::min<std::uint64_t>(static_cast<std::uint64_t>(entry.Size),
                                                          archiveSize - offset)
                                : 0;
}

std::string EncodeRecord(std::string_view name, std::int32_t offset, std::int32_t size) {
    std::string record(name.substr(0, NameSize));
    record.resize(NameSize, '\0');
    AppendInt32LE(record, offset);
    AppendInt32LE(record, size);
    return record;
}

} // namespace archive
