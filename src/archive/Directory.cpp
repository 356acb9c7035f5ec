#include "archive/Directory.h"

#include "FileIO.h"

#include <algorithm>
#include <memory>

namespace archive {

bool IsOrdinaryFile(const std::filesystem::path& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

Directory ReadDirectory(const std::filesystem::path& archivePath, std::size_t maxEntries) {
    Directory dir;
    if (!IsOrdinaryFile(archivePath))
        return dir;

    std::error_code ec;
    auto file = io::InputFile::Open(archivePath, ec);
    if (!file) {
        dir.State = Directory::Status::Unreadable;
        dir.Error = ec.message();
        return dir;
    }

    // The directory's bytes are read first, in blocks of whole records that double in size,
    // and only then decoded into a vector of the right size: no entry is moved and no byte is
    // read twice. One record more than asked for tells whether any was left out.
    const std::uint64_t wanted = maxEntries < static_cast<std::uint64_t>(MaxRecords)
                                     ? maxEntries + 1
                                     : static_cast<std::uint64_t>(MaxRecords);
    struct Block {
        std::unique_ptr<char[]> Bytes;
        std::size_t Size = 0;    // bytes read
        std::size_t Records = 0; // the records in it that belong to the directory
    };
    std::vector<Block> blocks;
    std::uint64_t records = 0;
    for (std::uint64_t blockRecords = 4096; records < wanted;
         blockRecords = std::min<std::uint64_t>(blockRecords * 2, 1u << 20)) {
        const auto want = static_cast<std::size_t>(std::min(blockRecords, wanted - records));
        Block b{std::make_unique_for_overwrite<char[]>(want * RecordSize)};
        b.Size = file->ReadAt(b.Bytes.get(), want * RecordSize, records * RecordSize, ec);
        if (ec) {
            dir.State = Directory::Status::Unreadable;
            dir.Error = ec.message();
            return dir;
        }
        // A record cut short by the end of the file still belongs when its first byte does.
        while (b.Records * RecordSize < b.Size &&
               !EndsDirectory(static_cast<unsigned char>(b.Bytes[b.Records * RecordSize])))
            ++b.Records;
        records += b.Records;
        const bool ended = b.Records < want || b.Size < want * RecordSize;
        blocks.push_back(std::move(b));
        if (ended)
            break;
    }

    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(records, maxEntries));
    dir.LeftOut = records > count;
    dir.Entries.reserve(count);
    for (const Block& b : blocks)
        for (std::size_t k = 0; k < b.Records && dir.Entries.size() < count; ++k) {
            const std::size_t at = k * RecordSize;
            DecodeRecordInto(
                std::string_view(b.Bytes.get() + at, std::min(RecordSize, b.Size - at)),
                dir.Entries.emplace_back());
        }
    dir.State = Directory::Status::Read;
    return dir;
}

std::vector<std::string> ListEntryNames(const std::filesystem::path& archivePath) {
    std::vector<std::string> names;
    for (auto& entry : ReadDirectory(archivePath).Entries)
        names.push_back(std::move(entry.Name));
    return names;
}

} // namespace archive
