#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace archive {

struct EntryResult {
    enum class Outcome {
        Written,    // the file holds every byte of the entry
        CutShort,   // the archive ended inside the entry's data: the bytes that exist were written
        NotWritten, // no file was written under the entry's name (see Reason)
    };
    int Position = 0; // the entry's list position, which is its record number
    std::string Name; // the name in the record; empty when the record was never read
    Outcome Result = Outcome::NotWritten;
    std::string Reason; // why it was cut short or not written; empty when written whole
    std::uint64_t BytesWritten = 0;
};

struct ExtractReport {
    std::string ArchiveError; // set when the archive is missing or could not be opened
    // One result for each selected position below the list count, in list order.
    std::vector<EntryResult> Entries;
    // Set when a selected record no longer belongs to the directory (the archive changed
    // since it was listed): the walk stopped there, and that entry and every later selected
    // one are reported as not written.
    int StoppedAt = -1;

    bool AllWritten() const;
};

// Copies the entries at the selected list positions (ascending, each once) into
// outputFolder, one file per entry named after it. Positions at or above listCount are not
// looked at. Each entry is written to a temporary file in the output folder and then renamed
// over its name, so a file of that name holds exactly the entry's bytes afterwards, a link
// planted there is replaced rather than followed, and a failure leaves nothing under the name.
// Names that could reach outside the folder or that the platform cannot store are refused.
ExtractReport ExtractEntries(const std::filesystem::path& archivePath,
                             const std::filesystem::path& outputFolder,
                             std::span<const int> selectedPositions, int listCount);

#ifdef _WIN32
inline constexpr bool WindowsNameRules = true;
#else
inline constexpr bool WindowsNameRules = false;
#endif

// The reason an entry name cannot be written as a file in a folder, or "" when it can. Path
// separators and control characters are refused everywhere; Windows also reserves device
// names, some punctuation and a trailing space or full stop.
std::string UnsafeNameReason(const std::string& name, bool windowsRules = WindowsNameRules);

} // namespace archive
