#pragma once

// Writing archives. A new archive (and a compacted one) has the canonical layout: one record
// per entry, one record of NULs that ends the directory, then the entries' data in directory
// order, back to back. An edit keeps the layout of the archive it edits: it is a copy of it,
// changed only where the edit needs.

#include "archive/Archive.h"
#include "archive/Names.h"

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

struct NewEntry {
    std::string Name; // at most 12 bytes are stored
    std::string Data;
};

// Lays out an archive in memory: the directory, one record of NULs that ends it, then the
// entries' data in order.
std::string BuildArchive(const std::vector<NewEntry>& entries);

// An entry of an archive to write: its name, and its data from a file or from a range of the
// archive being edited.
struct WriteEntry {
    std::string Name;
    std::filesystem::path File;        // the data is this file's, whole; or, when empty,
    std::int32_t Offset = 0, Size = 0; // this range of WriteOptions::Old; with a File, the
                                       // slot of Old it replaces (Size 0: none, it is added)
};

struct WriteProgress {
    std::uint64_t EntriesDone = 0, EntryCount = 0;
    std::uint64_t BytesDone = 0, TotalBytes = 0; // of the archive being written
    std::string_view Name;                       // the entry being written, valid during the call
};

struct WriteOptions {
    // The archive being edited, open: ranges are read from it, and the new archive replaces it
    // only while it is still the file at the path. It is closed once they are copied, as
    // Windows cannot replace a file that is open.
    Archive* Old = nullptr;
    // Without Old: a file at the path is replaced (otherwise refused).
    bool ReplaceExisting = false;
    // Called after each entry and at most every 50 ms inside a large one.
    std::function<void(const WriteProgress&)> OnProgress;
    // A stop takes effect within one buffer: nothing is written.
    std::stop_token Stop;
    // Only the checks: the refusals are reported and nothing is written either way.
    bool CheckOnly = false;
    // With Old: the canonical layout, as a new archive has it, which reclaims gaps; without,
    // the edit keeps Old's layout (see PlaceKeepingLayout).
    bool Compact = false;
};

// What stops an archive from being written: a refusal (nothing is written) or a failure on
// the way (the old archive stays as it was). Describe gives the English text.
struct WriteProblem {
    enum class Kind {
        None,
        // Refused by WriteArchive's checks:
        NameRefused,    // the entry's name cannot be stored (Name says why)
        SameName,       // the same name as entry Other, which messages name as Text: its name
                        // (OtherIsEntry: an entry of the archive edited) or its file
        SameNameFolded, // the same, when case is folded
        OutsideArchive, // its data would come from outside the archive edited
        InputUnusable,  // its file cannot be read (Open says why)
        IsTheArchive,   // its file is the archive itself
        TooLarge,       // the archive would hold Bytes bytes, more than its offsets can reach
        CannotOpen,     // the archive, or its folder, cannot be used (Open says why)
        Exists,         // the archive exists and may not be replaced (also found when naming it)
        LinkToNothing,  // the archive is a symbolic link to a file that does not exist
        // Refused by an edit (EditPlan) before those checks:
        CannotBeEdited,       // the archive edited has a problem at entry Other, named Text,
                              // which CheckArchive describes as Finding
        NameNotInCodePage,    // the file's name has no form in the system's code page
        NoEntryNamed,         // the archive holds no entry named Text
        ReplacedTwice,        // entry Other is replaced by the file Text already
        ChangedBeforeReplace, // the archive is no longer what was listed: nothing replaced
        ChangedBeforeRemove,  // the same: nothing removed
        ChangedBeforeRename,  // the same: nothing renamed
        // Failures while writing:
        ReadFailed,      // reading its file (or, about the archive, the archive edited) failed
        WriteFailed,     // writing the new archive failed
        ArchiveChanged,  // the archive edited changed while it was read (or before it was replaced)
        InputChanged,    // its file changed while the archive was written
        ArchiveReplaced, // another file took the archive's place while it was written
        ArchiveMoved,    // the archive edited was renamed away or removed while it was written
    };
    Kind What = Kind::None;
    int Entry = -1; // the entry it is about, or -1: the archive
    NameProblem Name = NameProblem::None;
    int Other = -1;
    bool OtherIsEntry = false;
    std::uint64_t Bytes = 0;
    OpenError Open{};
    std::error_code Error{}; // the system's code for ReadFailed and WriteFailed
    std::string Text{}, Finding{};

    explicit operator bool() const { return What != Kind::None; }
};

// The English text without the subject: "name longer than 12 bytes", "is the archive itself",
// "same name as the entry README.TXT when case is folded" ...
std::string Describe(const WriteProblem& problem);

struct WriteReport {
    std::vector<WriteProblem> Refused; // the inputs refused: nothing was written
    WriteProblem Failed;               // writing failed when it is set
    bool Cancelled = false;

    bool Written() const { return Refused.empty() && !Failed && !Cancelled; }
};

// Writes an archive of the entries at archivePath; a symbolic link there is followed, and the
// file it names is written (one that names nothing is refused). Every name, input and the size
// are checked first; any refusal writes nothing. The archive goes to a new file in the archive's
// folder (without a name where the system can make one, else a temporary one that a signal
// handler removes: see RemovePartialFile) that replaces the archive only when whole and on the
// disk, so a failure, a stop or a signal leaves the old archive as it was. An edited archive is
// replaced only while it is the file that was read, unchanged (see NewFile::TakePlaceOf), and
// never when it has gone from its name. Inputs are copied in chunks (or by the kernel), so
// memory does not grow with their sizes. The hidden files of killed runs in the folder go first
// (OutputFolder::RemoveLeftovers). An edit that keeps the layout copies the old archive whole
// (a clone where the file system shares blocks) and then writes only the directory and the data
// that PlaceKeepingLayout says.
WriteReport WriteArchive(const std::filesystem::path& archivePath,
                         std::span<const WriteEntry> entries, const WriteOptions& options = {});

} // namespace archive
