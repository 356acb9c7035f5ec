#pragma once

#include "archive/ArchiveEntry.h"

#include <cstddef>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace archive {

struct Directory {
    enum class Status {
        Read,       // the file was read (it may still list nothing)
        NotFound,   // the path is empty or names no ordinary file
        Unreadable, // the file exists but could not be opened or read
    };
    Status State = Status::NotFound;
    std::string Error;                 // the system's description when Unreadable
    std::vector<ArchiveEntry> Entries; // in directory order: entry k is record k
    bool LeftOut = false;              // more entries followed than the caller asked for
};

// Reads an archive's directory: records from byte 0 until the end-of-directory rule or the end
// of the file stops the walk. A record cut short by the end of the file is listed by the bytes
// it has (missing bytes count as NUL) and ends the walk. At most maxEntries are returned;
// LeftOut tells whether another entry followed them.
Directory ReadDirectory(const std::filesystem::path& archivePath,
                        std::size_t maxEntries = std::numeric_limits<std::size_t>::max());

// The entry names of an archive, in directory order (empty for a missing or unreadable file).
std::vector<std::string> ListEntryNames(const std::filesystem::path& archivePath);

// True when the path names an existing ordinary file (following links), as both reading the
// directory and extracting require.
bool IsOrdinaryFile(const std::filesystem::path& path);

} // namespace archive
