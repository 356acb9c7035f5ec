#pragma once

// The archive directory: a run of 20-byte records at the start of the file, each a 12-byte
// NUL-padded name, a signed 32-bit little-endian offset and a signed 32-bit little-endian size.
// There is no header or count; the directory ends at the first record whose name begins with
// NUL, '.', '/' or a digit, or where the file ends.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace archive {

inline constexpr std::size_t RecordSize = 20;
inline constexpr std::size_t NameSize = 12;
// Record positions 20 * k are signed 32-bit values, so at most this many records can exist.
inline constexpr std::int64_t MaxRecords = INT32_MAX / static_cast<std::int64_t>(RecordSize) + 1;

struct ArchiveEntry {
    std::string Name; // the name bytes up to the first NUL, as stored (not decoded)
    std::int32_t Offset = 0;
    std::int32_t Size = 0;
    bool Complete = true; // false when the end of the file cut the record short
};

// The end-of-directory rule, for the bytes found where a record should be: there are none (the
// file ended before it), or the name begins with NUL or a byte from 46 to 57 ('.', '/', digits).
constexpr bool EndsDirectory(std::string_view record) {
    if (record.empty())
        return true;
    const auto first = static_cast<unsigned char>(record[0]);
    return first == 0 || (first >= 46 && first <= 57);
}

// The name bytes up to the first NUL (all of them when there is none), at most 12.
std::string_view CutName(std::string_view nameBytes);

// Decodes one record from the bytes that exist; a record cut short by the end of the file
// has fewer than 20, and its missing bytes count as zero.
ArchiveEntry DecodeRecord(std::string_view recordBytes);

// The bytes an archive of archiveSize bytes holds for an entry: its size, less what lies past
// the end; none for a negative offset or size.
std::uint64_t PresentBytes(const ArchiveEntry& entry, std::uint64_t archiveSize);

// Encodes one record; the name is cut or NUL-padded to 12 bytes.
std::string EncodeRecord(std::string_view name, std::int32_t offset, std::int32_t size);

} // namespace archive
