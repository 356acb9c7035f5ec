#pragma once

// Directory records served from blocks of the archive read whole, so that walking the
// directory costs one read per block rather than one per record.

#include "FileIO.h"
#include "archive/ArchiveEntry.h"

#include <memory>
#include <string_view>

namespace archive::io {

class RecordReader {
public:
    RecordReader(const InputFile& file, std::size_t recordsPerBlock)
        : file_(file), blockBytes_(recordsPerBlock * RecordSize) {}

    // Record k's bytes: 20, fewer for a record that the end of the file cuts short, none
    // past the end of the file.
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

private:
    const InputFile& file_;
    const std::size_t blockBytes_; // a whole number of records, so none straddles two blocks
    std::unique_ptr<char[]> bytes_;
    std::uint64_t block_ = UINT64_MAX;
    std::size_t got_ = 0;
};

} // namespace archive::io
