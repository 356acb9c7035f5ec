#pragma once

#include "archive/Archive.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace archive {

struct EntryResult {
    enum class Kind {
        Written,             // the file holds every byte of the entry
        CutShort,            // the archive ended inside the entry's data: what exists was written
        UnsafeName,          // the name cannot be a file name in the folder (archive::UnsafeName)
        NegativeRange,       // a negative offset or size
        RecordCutShort,      // the end of the archive cuts the entry's record short
        NotInDirectory,      // the record, or one before it, ends the directory now
        ArchiveChanged,      // the record's name is not the one the caller listed
        WouldReplaceArchive, // the file of that name is the archive itself
        ReplacedByLater,     // written, then replaced by entry ReplacedBy of the same file
        ReadFailed,          // reading the archive failed (Error)
        WriteFailed,         // creating, writing or naming the file failed (Error)
        Cancelled,           // not started: the caller asked to stop
        NotOpened,           // not started: the archive or the output folder could not be opened
        KeptExisting,        // not written: a file of that name exists and KeepExisting is set
    };
    int Position = 0; // the entry's list position, which is its record number
    // The name in the record; empty when the record was never read. For ArchiveChanged, the
    // name the caller listed, which the user chose, rather than the record's new one.
    std::string Name;
    Kind Result = Kind::NotOpened;
    std::error_code Error;             // the system's code for ReadFailed and WriteFailed
    std::int32_t Offset = 0, Size = 0; // as recorded
    std::uint64_t BytesWritten = 0;
    int ReplacedBy = -1; // ReplacedByLater: the later entry's position
};

// Whether an entry's data can be read as its record says: Written when it can (though the
// archive may end inside it: see PresentBytes), otherwise RecordCutShort or NegativeRange.
EntryResult::Kind RecordReadable(const ArchiveEntry& entry);

// The English text for a result other than Written, without the name: "unsafe name (contains
// a path separator)", "replaced by entry 7, which has the same name" ...
std::string Describe(const EntryResult& result);

struct ExtractProgress {
    std::uint64_t EntriesDone = 0, EntryCount = 0; // results so far, of all to come
    std::uint64_t BytesDone = 0, TotalBytes = 0;   // of the data the archive holds for them
    int Position = 0;                              // the entry being extracted
    std::string_view Name;                         // its name, valid during the call
};

struct ExtractOptions {
    // The names the caller listed, one for each selected position in the same order (or
    // empty: no check). A record whose name differs is ArchiveChanged; the others go on.
    std::span<const std::string_view> ListedNames;
    // Called after each entry and at most every 50 ms inside a large one.
    std::function<void(const ExtractProgress&)> OnProgress;
    // A stop takes effect within one buffer: the entry in progress leaves nothing behind and
    // it and every later one are Cancelled.
    std::stop_token Stop;
    // When set, each result goes here as soon as it is known instead of into the report's
    // Entries, so memory does not grow with the selection. A ReplacedByLater found later
    // comes as a second result for the earlier position.
    std::function<void(const EntryResult&)> OnResult;
    // An existing file (or link) of an entry's name is kept and the entry is KeptExisting,
    // which does not count as a problem. Whether the name is free is decided when the whole
    // file is named, in one step, so a file that appears meanwhile is never replaced either.
    bool KeepExisting = false;
};

struct ExtractReport {
    OpenError ArchiveError; // the archive could not be opened: nothing was extracted
    OpenError FolderError;  // the output folder could not be opened: nothing was extracted
    // One result for each selected position below the list count, in list order (empty when
    // the options deliver results to OnResult).
    std::vector<EntryResult> Entries;
    std::uint64_t EntryCount = 0; // results (the second result of a replaced entry not counted)
    std::uint64_t Problems = 0;   // entries not written whole, replaced ones included (kept
                                  // existing files are not problems)
    // Set when a selected record no longer belongs to the directory (the archive changed
    // since it was listed): that entry and every later selected one are NotInDirectory.
    int StoppedAt = -1;

    bool AllWritten() const { return Problems == 0; }
};

// Copies the entries at the selected list positions (ascending, each once) into
// outputFolder, one file per entry named after it. Positions at or above listCount are not
// looked at. The folder is opened once and every file made relative to it. An entry's data
// goes to a file without a name (or a temporary one where the system has none) that gets
// the entry's name only when whole, so a failure or a stop leaves nothing, a link planted
// under the name is replaced rather than followed, and an existing file keeps its bytes
// until the new one replaces it. The exception is an entry of up to 64 KiB whose name is
// free: it is created under its final name and written with one call, and removed again on
// a failure (and by RemovePartialFile). Names that could reach outside the folder or that the
// platform cannot store are refused (UnsafeName), and so is replacing the archive itself.
ExtractReport ExtractEntries(const std::filesystem::path& archivePath,
                             const std::filesystem::path& outputFolder,
                             std::span<const int> selectedPositions, int listCount,
                             const ExtractOptions& options = {});
// The same from an archive already open (whose directory the caller may have read).
ExtractReport ExtractEntries(const Archive& archive, const std::filesystem::path& outputFolder,
                             std::span<const int> selectedPositions, int listCount,
                             const ExtractOptions& options = {});
// Accepts an entry by its name bytes.
using NameFilter = std::function<bool(std::string_view name)>;
// The entries at the selected positions and every entry whose name byName accepts, found by
// walking the directory as they are extracted: no list of them is made, so memory does not
// grow with the number that match. ListedNames go with the selected positions.
ExtractReport ExtractEntries(const Archive& archive, const std::filesystem::path& outputFolder,
                             std::span<const int> selectedPositions, const NameFilter& byName,
                             int listCount, const ExtractOptions& options = {});
// Every entry of the directory, walked as it is extracted: no list of positions is made.
ExtractReport ExtractEveryEntry(const Archive& archive, const std::filesystem::path& outputFolder,
                                const ExtractOptions& options = {});

// The names among `names` that a file (or link, or folder) in outputFolder already has: the
// entries that would replace a file there, asked before extracting. A name that cannot be a
// file name there (UnsafeName) is never listed; none when the folder cannot be opened.
std::vector<std::string> ExistingNames(const std::filesystem::path& outputFolder,
                                       std::span<const std::string> names);

// For a signal handler: removes the file of the entry being written when it has a name: a
// temporary one (where the system cannot make files without a name) or the final one of a
// small entry. Async-signal-safe.
void RemovePartialFile() noexcept;

} // namespace archive
