#pragma once

// An archive opened once: its directory is read and its entries extracted from the same open
// file, so that replacing the file on disk in between changes neither.

#include "archive/ArchiveEntry.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <system_error>

namespace archive {

namespace io {
class InputFile;
}

// Why an archive or an output folder could not be opened.
struct OpenError {
    enum class Kind {
        None,
        NotFound,         // the path is empty or names nothing
        IsFolder,         // an archive path that names a folder
        NotRegularFile,   // an archive path that names a device, a FIFO, a socket ...
        NotAFolder,       // an output folder path that names something else
        PermissionDenied, // the path or the file may not be read (or searched)
        Unreadable,       // any other failure; Error holds the system's code
    };
    enum class Subject { Archive, OutputFolder, List }; // List: a checksum list

    Kind What = Kind::None;
    Subject Of = Subject::Archive;
    std::error_code Error;

    explicit operator bool() const { return What != Kind::None; }
};

// The English text for an open error, without the path: "is a folder", "permission denied" ...
std::string Describe(const OpenError& error);

class Archive {
public:
    Archive();
    // Opens an existing regular file for reading only; Error() tells why when it could not.
    explicit Archive(const std::filesystem::path& path);
    Archive(Archive&&) noexcept;
    Archive& operator=(Archive&&) noexcept;
    ~Archive();

    bool IsOpen() const { return file_ != nullptr; }
    const OpenError& Error() const { return error_; }
    std::uint64_t Size() const; // the file's size when it was opened; 0 when not open

    // Walks the directory from record 0, reading it in blocks, and calls visit(k, entry) for
    // each entry in order until the end-of-directory rule or the end of the file ends it, or
    // visit returns false. A record cut short by the end of the file is visited (its entry
    // not Complete) and ends the walk. Memory stays the same however long the directory is.
    // Returns the number of entries visited; a read error sets ec and ends the walk.
    std::uint64_t WalkDirectory(const std::function<bool(int k, const ArchiveEntry& entry)>& visit,
                                std::error_code& ec) const;

    // Reads up to n bytes at pos; fewer only where the file ends or reading fails (ec).
    std::size_t ReadAt(char* buffer, std::size_t n, std::uint64_t pos, std::error_code& ec) const;

    io::InputFile& File() const { return *file_; } // the open file, for the archive core
    // The archive's zone (io::ReadZone): given to every file extracted from it.
    const std::string& Zone() const { return zone_; }

private:
    std::unique_ptr<io::InputFile> file_;
    std::string zone_;
    OpenError error_;
};

} // namespace archive
