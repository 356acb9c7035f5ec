#pragma once

// Checksums of entries: each entry's data read once through a Digest, lines in the format of
// the common checksum tools ("DIGEST  NAME"), and a check of an archive against such a list.

#include "archive/Archive.h"
#include "archive/Digest.h"
#include "archive/Extract.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace archive {

// One line of a checksum list for `name`, line feed included: the digest in hex, two spaces
// and the name's bytes. A name holding a backslash, a line feed or a carriage return is written
// as \\, \n and \r, and the line then starts with a backslash.
std::string SumLine(std::string_view hexDigest, std::string_view name);

// A line of a checksum list read back: the digest (its algorithm by its length) and the name.
struct ListedSum {
    std::string Name;
    std::string Digest; // bytes
    Algorithm Of = Algorithm::Sha256;
};
enum class ListLine {
    Sum,       // a checksum line
    Skipped,   // empty, or a comment ('#')
    Malformed, // anything else
};
// Reads one line, without its line feed (a carriage return before it is dropped): the digest
// (hex digits of either case), then two spaces, a space and '*' (the binary mode of the
// checksum tools) or a single space, then the name, escaped as SumLine writes it when the line
// starts with a backslash.
ListLine ParseSumLine(std::string_view line, ListedSum& sum);

// Reads entries' data through digests, with one large buffer for all of them.
class EntryDigester {
public:
    explicit EntryDigester(const Archive& archive);

    // Puts entry `position`'s data through `digest` and its digest into `out`. The result is
    // Written when every byte was read; otherwise, with `out` empty: RecordCutShort or
    // NegativeRange (nothing is read), CutShort (the archive ends inside the data; nothing is
    // read, BytesWritten holds the bytes there are), ReadFailed, or Cancelled when `more`,
    // asked after each buffer with the bytes read so far, returns false.
    EntryResult Read(int position, const ArchiveEntry& entry, Digest& digest, std::string& out,
                     const std::function<bool(std::uint64_t)>& more = {});

private:
    const Archive& archive_;
    std::unique_ptr<char[]> buffer_;
};

// The lines of a checksum list, read one at a time; the n-th line of a name stands for the
// n-th entry of that name.
class ChecksumList {
public:
    ListLine Add(std::string_view line);
    std::uint64_t Lines() const { return lines_; }
    // Text read in pieces: each whole line is added (and its number given to `malformed` when
    // it is no checksum line); End adds a last line without a line feed.
    void AddText(std::string_view text, const std::function<void(std::uint64_t)>& malformed);
    void End(const std::function<void(std::uint64_t)>& malformed);

private:
    friend struct Verifier;
    struct Expected {
        ListedSum Sum;
        std::uint64_t Line = 0; // from 1
        bool Checked = false;
    };
    std::vector<Expected> expected_;                                   // in list order
    std::unordered_map<std::string, std::vector<std::size_t>> byName_; // into expected_
    std::uint64_t lines_ = 0;
    std::string pending_; // a line not yet ended, for AddText
};

// Reads a checksum list file into `list`; the error says why it could not be opened or read
// (its subject List).
OpenError ReadChecksumList(const std::filesystem::path& path, ChecksumList& list,
                           const std::function<void(std::uint64_t line)>& malformed);

struct VerifyFinding {
    enum class Kind { Ok, Failed, Missing, NotListed };
    Kind What = Kind::Ok;
    std::string Name;
    int Position = -1;      // the entry's; -1 for Missing
    std::uint64_t Line = 0; // the list's line; 0 for NotListed
    // For an entry whose data could not be read whole (Failed): why, as extraction says it.
    std::optional<EntryResult> Unreadable;
};

// "NAME: FAILED", "NAME: missing", "NAME: not listed", "NAME: OK" (not escaped).
std::string Describe(const VerifyFinding& finding);
// "SUMS:LINE: not a checksum line".
std::string NotAChecksumLine(std::string_view list, std::uint64_t line);

struct VerifyReport {
    std::uint64_t Ok = 0, Failed = 0, Missing = 0, NotListed = 0;
    std::error_code ReadError; // reading the directory failed: the findings are not complete
    bool Cancelled = false;
};

// "N OK, F failed, M missing, X not listed".
std::string Describe(const VerifyReport& report);

struct VerifyOptions {
    std::stop_token Stop;
    // After each entry checked and at most every 50 ms inside a large one; the totals are
    // the listed entries and their bytes.
    std::function<void(const ExtractProgress&)> OnProgress;
};

// Checks each entry of the archive, in directory order, against the list: the n-th entry of a
// name against the n-th line of that name, with the line's algorithm; then the lines left over
// are Missing, in list order. Each finding goes to `found` as it is known.
VerifyReport VerifyArchive(const Archive& archive, ChecksumList& list,
                           const std::function<void(const VerifyFinding&)>& found,
                           const VerifyOptions& options = {});

} // namespace archive
