#include "archive/Directory.h"

#include "FileIO.h"

#include <algorithm>
#include <cstring>

namespace archive {

bool IsOrdinaryFile(const std::filesystem::path& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

Directory ReadDirectory(const std::filesystem::path& archivePath, std::size_t maxEntries) {
    return ReadDirectory(Archive(archivePath), maxEntries);
}

Directory ReadDirectory(const Archive& archive, std::size_t maxEntries) {
    Directory dir;
    dir.Problem = archive.Error();
    if (!archive.IsOpen()) {
        using Kind = OpenError::Kind;
        const Kind what = dir.Problem.What;
        if (what != Kind::NotFound && what != Kind::IsFolder && what != Kind::NotRegularFile) {
            dir.State = Directory::Status::Unreadable;
            dir.Error = Describe(dir.Problem);
        }
        return dir;
    }
    const io::InputFile* file = &archive.File();
    std::error_code ec;

    // The records are read in blocks that double in size, straight into the list's own
    // buffer, and only their first bytes are looked at here. One record more than asked for
    // tells whether any was left out. The buffer starts large enough for a full window list
    // (but never larger than the file) and doubles beyond that.
    const std::uint64_t wanted = std::min<std::uint64_t>(
        maxEntries < static_cast<std::uint64_t>(MaxRecords) ? maxEntries + 1 : MaxRecords,
        (file->Size() + RecordSize - 1) / RecordSize);
    EntryList& list = dir.Entries;
    std::size_t capacity =
        static_cast<std::size_t>(std::min<std::uint64_t>(wanted, 1u << 16)) * RecordSize;
    list.bytes_ = std::make_unique_for_overwrite<char[]>(capacity);
    std::uint64_t records = 0;
    for (std::uint64_t block = 4096; records < wanted;
         block = std::min<std::uint64_t>(block * 2, 1u << 20)) {
        const auto want = static_cast<std::size_t>(std::min(block, wanted - records));
        const std::size_t at = static_cast<std::size_t>(records) * RecordSize;
        if (at + want * RecordSize > capacity) {
            capacity = std::max(capacity * 2, at + want * RecordSize);
            auto grown = std::make_unique_for_overwrite<char[]>(capacity);
            std::memcpy(grown.get(), list.bytes_.get(), at);
            list.bytes_ = std::move(grown);
        }
        const std::size_t got = file->ReadAt(list.bytes_.get() + at, want * RecordSize, at, ec);
        if (ec) {
            Directory failed;
            failed.State = Directory::Status::Unreadable;
            failed.Problem = {OpenError::Kind::Unreadable, OpenError::Subject::Archive, ec};
            failed.Error = io::SystemMessage(ec);
            return failed;
        }
        // A record cut short by the end of the file still belongs when its first byte does.
        std::size_t k = 0;
        while (k * RecordSize < got &&
               !EndsDirectory(static_cast<unsigned char>(list.bytes_[at + k * RecordSize])))
            ++k;
        records += k;
        list.size_ = at + std::min(got, k * RecordSize);
        if (k < want || got < want * RecordSize)
            break;
    }

    list.count_ = static_cast<std::size_t>(std::min<std::uint64_t>(records, maxEntries));
    list.size_ = std::min(list.size_, list.count_ * RecordSize);
    dir.LeftOut = records > list.count_;
    dir.State = Directory::Status::Read;
    return dir;
}

} // namespace archive
