#pragma once

// The one reader of directory records. Blocks of the archive are read whole, so that walking
// the directory costs one read per block rather than one per record, and every way of reading
// records applies the end-of-directory rule through EndsDirectory.

#include "FileIO.h"
#include "archive/ArchiveEntry.h"

#include <memory>
#include <string_view>

namespace archive::io {

// Records per read: a walk over the whole directory reads about 1 MiB at a time; records
// looked up by position 64 KiB, as the positions chosen tend to lie close together.
inline constexpr std::size_t WalkBlockRecords = 52428;
inline constexpr std::size_t LookupBlockRecords = 3277;

class RecordReader {
public:
    RecordReader(const InputFile& file, std::size_t recordsPerBlock)
        : file_(file), blockBytes_(recordsPerBlock * RecordSize) {}

    // Record k's bytes: 20, fewer for a record that the end of the file cuts short, none past
    // the end of the file.
    std::string_view Record(std::uint64_t k, std::error_code& ec) {
        const std::uint64_t at = k * RecordSize;
        const std::uint64_t block = at / blockBytes_;
        if (block != block_) {
            if (!bytes_)
                bytes_ = std::make_unique_for_overwrite<char[]>(blockBytes_);
            block_ = UINT64_MAX;
            got_ = file_.ReadAt(bytes_.get(), blockBytes_, block * blockBytes_, ec);
            if (ec)
                return {};
            block_ = block;
        }
        const std::size_t in = static_cast<std::size_t>(at - block * blockBytes_);
        if (in >= got_)
            return {};
        return {bytes_.get() + in, std::min(RecordSize, got_ - in)};
    }

    // Record k's bytes when they do not end the directory; none when they do or when reading
    // fails (ec). Only record k is looked at, not the ones before it.
    std::string_view DirectoryRecord(std::uint64_t k, std::error_code& ec) {
        const std::string_view record = Record(k, ec);
        return EndsDirectory(record) ? std::string_view() : record;
    }

    // A walk over the directory: the next record from record 0 on, or none once the directory
    // has ended (the end rule, the end of the file, a record cut short by it, MaxRecords) or
    // reading failed (ec). Walked() counts the records returned.
    std::string_view Next(std::error_code& ec) {
        if (walkEnded_ || walked_ >= static_cast<std::uint64_t>(MaxRecords))
            return {};
        const std::string_view record = DirectoryRecord(walked_, ec);
        walkEnded_ = record.size() < RecordSize;
        walked_ += record.empty() ? 0 : 1;
        return record;
    }
    std::uint64_t Walked() const { return walked_; }

    // Reads `count` records from record `first` straight into `into`, for a caller that keeps
    // them, and returns the bytes of those that belong to the directory: the records before the
    // first whose bytes end it. Fewer than count * RecordSize when the directory ended here.
    std::size_t ReadDirectoryRecords(std::uint64_t first, std::size_t count, char* into,
                                     std::error_code& ec) const {
        const std::size_t got = file_.ReadAt(into, count * RecordSize, first * RecordSize, ec);
        if (ec)
            return 0;
        std::size_t at = 0;
        while (at < got && !EndsDirectory({into + at, std::min(RecordSize, got - at)}))
            at += RecordSize;
        return std::min(at, got);
    }

private:
    const InputFile& file_;
    const std::size_t blockBytes_; // a whole number of records, so none straddles two blocks
    std::unique_ptr<char[]> bytes_;
    std::uint64_t block_ = UINT64_MAX;
    std::size_t got_ = 0;
    std::uint64_t walked_ = 0;
    bool walkEnded_ = false;
};

} // namespace archive::io
