#include "archive/Directory.h"

#include "FileIO.h"

#include <algorithm>

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

    // The directory is read in blocks of whole records rather than record by record; the
    // result is the same as reading each record's name in turn.
    constexpr std::size_t BlockRecords = 4096;
    std::string block;
    std::uint64_t blockStart = 0; // byte position of block[0]
    for (std::int64_t k = 0; k < MaxRecords; ++k) {
        const auto pos = static_cast<std::uint64_t>(k) * RecordSize;
        if (pos >= blockStart + block.size()) {
            if (!block.empty() && block.size() < BlockRecords * RecordSize)
                break; // the previous read came up short: the file has ended
            block.resize(BlockRecords * RecordSize);
            block.resize(file->ReadAt(block.data(), block.size(), pos, ec));
            blockStart = pos;
            if (ec) {
                dir.State = Directory::Status::Unreadable;
                dir.Error = ec.message();
                dir.Entries.clear();
                return dir;
            }
            if (block.empty())
                break; // a record with no bytes at all begins with "NUL"
        }
        const std::string_view record =
            std::string_view(block).substr(pos - blockStart, RecordSize);
        if (EndsDirectory(static_cast<unsigned char>(record[0])))
            break;
        if (dir.Entries.size() == maxEntries) {
            dir.LeftOut = true;
            break;
        }
        dir.Entries.push_back(DecodeRecord(record));
        if (record.size() < RecordSize)
            break; // the file ends inside this record
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
