#include "archive/Directory.h"

#include "RecordReader.h"

#include <algorithm>
#include <cstring>

namespace archive {

namespace {

// The listing reads its records in blocks that start small, since most directories are short,
// and double up to the largest; its buffer starts with room for this many records.
constexpr std::uint64_t FirstBlockRecords = 4096;
constexpr std::uint64_t LargestBlockRecords = 1u << 20;
constexpr std::uint64_t FirstBufferRecords = 1u << 16;

} // namespace

Directory ReadDirectory(const std::filesystem::path& archivePath, std::size_t maxEntries) {
    return ReadDirectory(Archive(archivePath), maxEntries);
}

Directory ReadDirectory(const Archive& archive, std::size_t maxEntries) {
    Directory dir;
    dir.Error = archive.Error();
    if (!archive.IsOpen())
        return dir;
    const io::InputFile* file = &archive.File();
    io::RecordReader reader(*file, io::LookupBlockRecords);
    std::error_code ec;

    // The records are read in blocks that double in size, straight into the list's own
    // buffer, and only their first bytes are looked at. One record more than asked for
    // tells whether any was left out. The buffer starts large enough for a full window list
    // (but never larger than the file) and doubles beyond that.
    const std::uint64_t wanted = std::min<std::uint64_t>(
        maxEntries < static_cast<std::uint64_t>(MaxRecords) ? maxEntries + 1 : MaxRecords,
        (file->Size() + RecordSize - 1) / RecordSize);
    EntryList& list = dir.Entries;
    std::size_t capacity =
        static_cast<std::size_t>(std::min(wanted, FirstBufferRecords)) * RecordSize;
    list.bytes_ = std::make_unique_for_overwrite<char[]>(capacity);
    std::uint64_t records = 0;
    for (std::uint64_t block = FirstBlockRecords; records < wanted;
         block = std::min(block * 2, LargestBlockRecords)) {
        const auto want = static_cast<std::size_t>(std::min(block, wanted - records));
        const std::size_t at = static_cast<std::size_t>(records) * RecordSize;
        if (at + want * RecordSize > capacity) {
            capacity = std::max(capacity * 2, at + want * RecordSize);
            auto grown = std::make_unique_for_overwrite<char[]>(capacity);
            std::memcpy(grown.get(), list.bytes_.get(), at);
            list.bytes_ = std::move(grown);
        }
        const std::size_t got =
            reader.ReadDirectoryRecords(records, want, list.bytes_.get() + at, ec);
        if (ec) {
            Directory failed;
            failed.Error = {OpenError::Kind::Unreadable, OpenError::Subject::Archive, ec};
            return failed;
        }
        records += (got + RecordSize - 1) / RecordSize;
        list.size_ = at + got;
        if (got < want * RecordSize)
            break;
    }

    list.count_ = static_cast<std::size_t>(std::min<std::uint64_t>(records, maxEntries));
    list.size_ = std::min(list.size_, list.count_ * RecordSize);
    dir.LeftOut = records > list.count_;
    return dir;
}

} // namespace archive
