#pragma once

// One entry's data read in place, a range at a time, for a viewer: nothing is written and no
// more than the range asked for is read.

#include "archive/Archive.h"
#include "archive/Extract.h"

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace archive {

class EntryData {
public:
    // Opens the archive and reads the record at list position `position`, checking it as
    // extraction does: it must still belong to the directory and hold the name listed.
    EntryData(const std::filesystem::path& archivePath, int position, std::string_view listedName);

    // The record as read (Result Written when the data can be read whole; CutShort when the
    // archive ends inside it, and only the bytes that exist are read; otherwise why nothing can
    // be read: NotOpened (see ArchiveError), ReadFailed, NotInDirectory, ArchiveChanged,
    // RecordCutShort or NegativeRange).
    const EntryResult& Record() const { return record_; }
    bool Readable() const {
        return record_.Result == EntryResult::Kind::Written ||
               record_.Result == EntryResult::Kind::CutShort;
    }
    const OpenError& ArchiveError() const { return archive_.Error(); }
    // The bytes that can be read: the recorded size, less what lies past the end of the archive.
    std::uint64_t Size() const { return present_; }

    // Reads up to n bytes from byte `at` of the entry; fewer where its readable bytes end, none
    // when the entry is not readable. A failure to read sets ec.
    std::size_t Read(std::uint64_t at, char* into, std::size_t n, std::error_code& ec) const;

private:
    Archive archive_;
    EntryResult record_;
    std::uint64_t present_ = 0;
};

} // namespace archive
