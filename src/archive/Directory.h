#pragma once

#include "archive/Archive.h"
#include "archive/ArchiveEntry.h"

#include <cstddef>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

namespace archive {

struct Directory;
Directory ReadDirectory(const Archive& archive, std::size_t maxEntries);

// A directory's entries, kept as the bytes of their records and decoded when read, so that
// listing a long directory costs little more than reading it.
class EntryList {
public:
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }

    // Entry k, decoded from its record (a record cut short reads as if padded with NULs).
    ArchiveEntry operator[](std::size_t k) const { return DecodeRecord(Record(k)); }

    // Entry k's name bytes up to the first NUL, without a copy.
    std::string_view Name(std::size_t k) const { return CutName(Record(k)); }

    class const_iterator {
    public:
        const_iterator(const EntryList* list, std::size_t k) : list_(list), k_(k) {}
        ArchiveEntry operator*() const { return (*list_)[k_]; }
        const_iterator& operator++() {
            ++k_;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return k_ == other.k_; }

    private:
        const EntryList* list_;
        std::size_t k_;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, count_}; }

private:
    friend Directory ReadDirectory(const Archive&, std::size_t);

    // Record k's bytes: 20, or fewer for a last record that the end of the file cut short.
    std::string_view Record(std::size_t k) const {
        const std::size_t at = k * RecordSize;
        return {bytes_.get() + at, std::min(RecordSize, size_ - at)};
    }

    std::unique_ptr<char[]> bytes_;
    std::size_t size_ = 0; // bytes of the listed records
    std::size_t count_ = 0;
};

struct Directory {
    // Why the archive could not be opened, or Unreadable when reading its directory failed;
    // None when the directory was read (it may still list nothing).
    OpenError Error;
    EntryList Entries;    // in directory order: entry k is record k
    bool LeftOut = false; // more entries followed than the caller asked for
};

// Reads an archive's directory: records from byte 0 until the end-of-directory rule or the end
// of the file stops the walk. A record cut short by the end of the file is listed by the bytes
// it has (missing bytes count as NUL) and ends the walk. At most maxEntries are returned;
// LeftOut tells whether another entry followed them.
Directory ReadDirectory(const std::filesystem::path& archivePath,
                        std::size_t maxEntries = std::numeric_limits<std::size_t>::max());
// The same from an archive already open (or not: then its open error is the directory's).
Directory ReadDirectory(const Archive& archive,
                        std::size_t maxEntries = std::numeric_limits<std::size_t>::max());

} // namespace archive
