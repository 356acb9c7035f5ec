#pragma once

// The few file operations extraction needs, one class each, implemented once per platform
// (FileIO_posix.cpp, FileIO_win32.cpp; CMake builds the one that fits). Errors come back as
// std::error_code, so callers can show the system's own description.

#include "archive/Archive.h"
#include "archive/Names.h" // FoldCase

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace archive::io {

// What makes a file the same file: device (or volume) and inode (or file index).
struct FileId {
    std::uint64_t Device = 0, Inode = 0;
    // Its status changed since the folder was opened (or a moment before): it may be a file
    // of this run. Not part of the identity.
    bool Recent = false;
    bool operator==(const FileId& other) const {
        return Device == other.Device && Inode == other.Inode;
    }
};

// What a file's status tells of its contents: its size, and when its data (Modified) and its
// status (Changed, which every write and rename moves) last changed, in the system's units.
struct FileState {
    std::uint64_t Size = 0;
    std::int64_t Modified = 0, Changed = 0;
    // Its data changed: its size or its modification time moved.
    bool DataDiffers(const FileState& other) const {
        return Size != other.Size || Modified != other.Modified;
    }
    bool operator==(const FileState&) const = default;
};

struct FileIdHash {
    std::size_t operator()(const FileId& id) const noexcept {
        return std::hash<std::uint64_t>()(id.Inode * 0x9E3779B97F4A7C15ull ^ id.Device);
    }
};

class InputFile {
public:
    // Opens an existing regular file for reading only; sets error (and returns null) when it
    // is missing, not a regular file or cannot be opened.
    static std::unique_ptr<InputFile> Open(const std::filesystem::path& path, OpenError& error);
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    std::uint64_t Size() const { return state_.Size; }
    FileId Id() const { return id_; }
    // The file's state when it was opened.
    const FileState& State() const { return state_; }
    // The file's state as it is now (it may have changed since it was opened).
    FileState StateNow(std::error_code& ec) const;
    // Reads up to n bytes at pos; fewer only where the file ends. With `oneRead`, a read that
    // returns fewer bytes is taken as the end without asking again (a regular file reads short
    // only at its end), which saves a call per small file.
    std::size_t ReadAt(char* buffer, std::size_t n, std::uint64_t pos, std::error_code& ec,
                       bool oneRead = false) const;

private:
    InputFile() = default;
    friend class NewFile;
    friend class OutputFolder;
    friend bool OneFileBySpelling(const InputFile& a, const InputFile& b);
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    FileState state_;
    FileId id_;
};

// Whether two open files that have identities of their own are one file all the same: on a file
// system that gives each spelling of a name an identity of its own (FAT through FUSE), the same
// folder and the same name when case is folded, where the folder lists only one of the
// spellings. Always false on Windows, where a file's identity is the file's whatever the
// spelling.
bool OneFileBySpelling(const InputFile& a, const InputFile& b);

class NewFile;

// A file's zone: Windows' Mark-of-the-Web, the Zone.Identifier stream that a download gives a
// file, which every file extracted from an archive gets too. The stream's name follows the
// file's path (":Zone.Identifier" on Windows; nothing elsewhere, where files keep no zone).
// Tests on file systems without streams name a suffix instead, which keeps the zone in a file
// beside the file ("" for none).
void SetZoneSuffix(std::string suffix);
const std::string& ZoneSuffix();
// The bytes of the zone of the file at `path` (at most 64 KiB), "" when it has none.
std::string ReadZone(const std::filesystem::path& path);
// Whether files at `path` can keep a zone: a stream needs a file system that keeps named
// streams (NTFS does; FAT and Wine's drives do not, where a name with a colon would be another
// file); a suffix's file goes anywhere.
bool KeepsZones(const std::filesystem::path& path);

// The output folder, opened once: every file is made, named and removed relative to it.
class OutputFolder {
public:
    OutputFolder() = default;
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;
    ~OutputFolder();

    OpenError Open(const std::filesystem::path& path);
    // Starts a file in the folder that has no name yet (a hidden temporary name where the
    // system cannot make a file without one).
    void Create(NewFile& file, std::error_code& ec) const;
    // Creates a file under its final name, for data written with one call right away: false
    // when the name is taken (ec clear) or on an error (ec set). Until the file is named
    // (closed) it is removed on any failure, and by RemovePartialFile.
    bool CreateNamed(NewFile& file, const std::string& name, std::error_code& ec) const;
    // The identity of the file (or link, not followed) of that name; false when there is none.
    bool Identify(const std::string& name, FileId& id) const;
    // The folder folds case ("a" and "A" are one name), as far as known: found out from the
    // first temporary file made in it. Some file systems that do give each spelling of a name
    // an identity of its own, so that there only names, folded, tell that two are one file.
    // Always false on Windows, where a file's identity is the file's whatever the spelling.
    bool FoldsCase() const;
    // Whether the file of that name in this folder is `file` by another spelling: the same
    // folder and name, folded, in a folder that folds case.
    bool NamesFile(const std::string& name, const InputFile& file) const;
    // Gives the file of that name `zone` (see ReadZone); false when it cannot be kept there.
    bool MarkZone(const std::string& name, std::string_view zone) const;
    // Removes the hidden files that runs of this program killed before they could remove them
    // (named `.quillmarrow-PID-N.part`, or `.qmPID-N`): those whose process PID is gone and
    // that no process holds a lock on (each run locks its hidden files while it has them).
    void RemoveLeftovers() const;

private:
    friend class NewFile;
#ifdef _WIN32
    std::wstring path_; // with a trailing separator
    void* handle_ = nullptr;
    mutable int keepsZones_ = -1; // not known yet
#else
    int fd_ = -1;
    mutable int foldsCase_ = -1;       // not known yet
    mutable bool unnamedWorks_ = true; // files without a name can be made here
#endif
    std::int64_t openedAt_ = 0; // the system's time, less a moment, in its file-time units
};

// A file being written. It becomes visible under its name only through Name(); dropping it
// before then leaves nothing behind.
class NewFile {
public:
    NewFile() = default;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    ~NewFile() { Discard(); }

    void Write(const char* data, std::size_t n, std::error_code& ec);

    struct Copied {
        std::uint64_t Bytes = 0; // fewer than asked for where the input ends or on an error
        bool ReadFailed = false; // the error (ec) came from reading the input, not from writing
    };
    // Copies up to n bytes from pos of `in` to the end of this file. After each chunk,
    // `more(bytes so far)` is asked whether to go on. `buffer` is reused between calls when
    // the kernel cannot copy itself.
    Copied CopyFrom(const InputFile& in, std::uint64_t pos, std::uint64_t n,
                    std::vector<char>& buffer, const std::function<bool(std::uint64_t)>& more,
                    std::error_code& ec);
    // Makes this file, empty so far, share all the blocks of `in` (the same bytes), where
    // the file system can (FICLONE on XFS, btrfs): false where it cannot, and then nothing is
    // written. Writing goes on at 0 (see Seek).
    bool CloneOf(const InputFile& in);
    // The writes and copies that follow go on from `pos`. Syncing as written stops here: it
    // follows a file written from its start to its end.
    void Seek(std::uint64_t pos, std::error_code& ec);

    // Puts what was written on the disk, so that naming the file cannot outrun its data.
    void Sync(std::error_code& ec);
    // For a file that will be synced, called before anything is written: its data goes to
    // the disk while more is written, in steps, so that the copy and the disk work at once
    // and Sync has little left to do.
    void SyncAsWritten() {
        syncAsWritten_ = true;
        written_ = sentToDisk_ = 0;
    }

    enum class Naming { Named, Replaced, Refused, Kept, Gone, Changed };
    // Gives the file its name in the folder and closes it. When a file of that name exists,
    // mayReplace(its id) decides: Replaced (its id in `replaced`) or Refused (this file is
    // discarded). With keepExisting, an existing file is never replaced: the name is given
    // only when free, in one step, and otherwise this file is discarded (Kept). On an error
    // nothing is named and the file is discarded.
    Naming Name(const std::string& name, bool keepExisting,
                const std::function<bool(const FileId&)>& mayReplace, FileId& replaced,
                std::error_code& ec);
    // The same for a file name given as a path (an archive's own name, not an entry's bytes).
    Naming NameAs(const std::filesystem::path& fileName, bool keepExisting,
                  const std::function<bool(const FileId&)>& mayReplace, FileId& replaced,
                  std::error_code& ec);
    // For the new file of an edited archive: takes the place of `old` (read as `state`) under
    // fileName. The name changes hands in one step that gives back the file that had it (an
    // exchange, where the system has one); when that is not `old` as it was read (the same
    // file, size and modification time) the two are swapped back: Refused, or Changed when it
    // is `old` with other contents. Gone when no file has the name: nothing is made under it.
    // Where the system cannot exchange names, the file is looked at just before the rename.
    // Replaced when done; this file is discarded otherwise.
    Naming TakePlaceOf(const std::filesystem::path& fileName, const FileId& old,
                       const FileState& state, std::error_code& ec);
    // Closes and removes the file.
    void Discard() noexcept;

private:
    friend class OutputFolder;
    // The kernel's own copy where the system has one and it fits: true when it did the whole
    // copy (or was told to stop), false when the rest is for the copy through the buffer.
    bool CopyInKernel(const InputFile& in, std::uint64_t pos, std::uint64_t n,
                      const std::function<bool(std::uint64_t)>& more, Copied& copied);
#ifdef _WIN32
    void* handle_ = nullptr;
    std::wstring folder_, temp_;
    // Clears the mark that removes the file when it is closed, and closes it; false (ec set, the
    // file discarded) on a failure.
    bool CloseToName(std::error_code& ec);
#else
    int fd_ = -1;
    int dir_ = -1;
    std::string temp_;  // the temporary name, when the file has one
    std::string named_; // the final name, for a file created under it and not yet closed
    void Wrote(std::uint64_t n);
    // Links a file without a name under a temporary one; false (errno set) when it cannot.
    bool TakeTemporaryName();
#endif
    bool syncAsWritten_ = false;
    std::uint64_t written_ = 0, sentToDisk_ = 0;
    std::int64_t folderOpenedAt_ = 0;
};

// The steps that make a new archive lasting, told to an observer as they happen so that tests
// can check their order: its data is on the disk (Sync), it is about to take its name (NameAs,
// TakePlaceOf: Naming, also when that then fails), then it has the name (Named). None is told
// unless an observer is set; one at a time.
enum class Step { Synced, Naming, Named };
void ObserveSteps(void (*observer)(Step));
void Observed(Step step);

// How many more files this process may hold open at once (at most 65536), after raising its
// own limit as far as the system lets it.
std::size_t OpenFilesAllowed();

// The system's description of an error code, in UTF-8.
std::string SystemMessage(const std::error_code& ec);

// Forgets the temporary file registered for RemovePartialFile.
void ForgetPartialFile() noexcept;

} // namespace archive::io
