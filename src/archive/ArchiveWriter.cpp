#include "archive/ArchiveWriter.h"

#include "FileIO.h"
#include "archive/ArchiveEntry.h"
#include "archive/Check.h"
#include "archive/Names.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <memory>
#include <optional>

namespace archive {

std::string BuildArchive(const std::vector<NewEntry>& entries) {
    std::string directory, data;
    const std::size_t dataStart = (entries.size() + 1) * RecordSize;
    for (const auto& e : entries) {
        directory += EncodeRecord(e.Name, static_cast<std::int32_t>(dataStart + data.size()),
                                  static_cast<std::int32_t>(e.Data.size()));
        data += e.Data;
    }
    directory.append(RecordSize, '\0');
    return directory + data;
}

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto ProgressEvery = std::chrono::milliseconds(50);
// Pieces up to this size are gathered in memory and written together.
constexpr std::size_t SmallPiece = 64u << 10;
constexpr std::size_t WriteAt = 1u << 20;

struct Input {
    std::unique_ptr<io::InputFile> File;
    io::FileId Id;
    std::uint64_t Size = 0;
};

std::string DescribeInput(const OpenError& error) {
    if (error.What == OpenError::Kind::NotFound)
        return "does not exist";
    if (error.What == OpenError::Kind::Unreadable)
        return "cannot read it: " + io::SystemMessage(error.Error);
    return Describe(error);
}

// For each entry, the first one before it whose name is the same when case is folded, or -1;
// names that cannot be stored are left out. Found by sorting, which for many entries is
// cheaper than a table of the names.
std::vector<int> EarlierOfTheSameName(std::span<const WriteEntry> entries) {
    std::vector<std::pair<std::string, int>> folded;
    folded.reserve(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k)
        if (StoredNameProblem(entries[k].Name).empty())
            folded.emplace_back(io::FoldCase(entries[k].Name), static_cast<int>(k));
    std::sort(folded.begin(), folded.end()); // a name's entries in their order
    std::vector<int> first(entries.size(), -1);
    for (std::size_t i = 1, start = 0; i < folded.size(); ++i) {
        if (folded[i].first != folded[start].first)
            start = i;
        else
            first[static_cast<std::size_t>(folded[i].second)] = folded[start].second;
    }
    return first;
}

// The data pass: the directory, then each entry's data, into the new file.
class Writer {
public:
    Writer(io::NewFile& out, const WriteOptions& options, std::span<const WriteEntry> entries,
           std::vector<Input>& inputs, WriteReport& report)
        : out_(out), options_(options), entries_(entries), inputs_(inputs), report_(report) {}

    // False when it failed or was stopped (the report says which).
    bool Run(std::uint64_t total) {
        progress_.EntryCount = entries_.size();
        progress_.TotalBytes = total;
        std::uint64_t offset = RecordSize * (entries_.size() + 1);
        for (std::size_t k = 0; k < entries_.size(); ++k) {
            const std::uint64_t size = SizeOf(k);
            pending_ += EncodeRecord(entries_[k].Name, static_cast<std::int32_t>(offset),
                                     static_cast<std::int32_t>(size));
            offset += size;
            if (pending_.size() >= WriteAt && !Flush())
                return false;
        }
        pending_.append(RecordSize, '\0');
        progress_.BytesDone = RecordSize * (entries_.size() + 1);
        for (std::size_t k = 0; k < entries_.size();) {
            progress_.Name = entries_[k].Name;
            const std::size_t next = entries_[k].File.empty() ? CopyRanges(k) : CopyFile(k);
            if (next == 0)
                return false;
            progress_.EntriesDone = next;
            k = next;
            Report(true);
        }
        return Flush();
    }

private:
    std::uint64_t SizeOf(std::size_t k) const {
        return entries_[k].File.empty() ? static_cast<std::uint64_t>(entries_[k].Size)
                                        : inputs_[k].Size;
    }

    bool Fail(int entry, std::string message) {
        report_.Failed = {entry, std::move(message)};
        return false;
    }

    bool Flush() {
        std::error_code ec;
        out_.Write(pending_.data(), pending_.size(), ec);
        pending_.clear();
        return !ec || Fail(-1, "cannot write the archive: " + io::SystemMessage(ec));
    }

    void Report(bool always) {
        if (options_.OnProgress && (always || Clock::now() - lastProgress_ >= ProgressEvery)) {
            options_.OnProgress(progress_);
            lastProgress_ = Clock::now();
        }
    }

    // Copies n bytes from pos of `from`: false on a failure or a stop. A read failure is
    // reported for `entry` (-1: the archive), fewer bytes than asked for as `cutShort`, and so
    // are more with `toEnd`, where the n bytes must be all that `from` holds: small ones are
    // read with one byte more for that, larger ones are for the caller to check.
    bool Copy(const io::InputFile& from, std::uint64_t pos, std::uint64_t n, int entry,
              const char* cutShort, bool toEnd = false) {
        std::error_code ec;
        std::uint64_t got = 0;
        bool readFailed = false;
        if (n <= SmallPiece) {
            const std::size_t at = pending_.size();
            pending_.resize(at + n + toEnd);
            got = from.ReadAt(pending_.data() + at, n + toEnd, pos, ec, toEnd);
            pending_.resize(at + std::min(got, n));
            readFailed = bool(ec);
            if (!ec && pending_.size() >= WriteAt && !Flush())
                return false;
        } else {
            if (!Flush())
                return false;
            const std::uint64_t before = progress_.BytesDone;
            const auto more = [&](std::uint64_t done) {
                progress_.BytesDone = before + done;
                Report(false);
                return !options_.Stop.stop_requested();
            };
            const io::NewFile::Copied copied = out_.CopyFrom(from, pos, n, buffer_, more, ec);
            got = copied.Bytes;
            readFailed = copied.ReadFailed;
            progress_.BytesDone = before;
        }
        if (options_.Stop.stop_requested()) {
            report_.Cancelled = true;
            return false;
        }
        if (ec)
            return Fail(readFailed ? entry : -1,
                        (readFailed ? "cannot read it: " : "cannot write the archive: ") +
                            io::SystemMessage(ec));
        progress_.BytesDone += got;
        return got == n || Fail(entry, cutShort);
    }

    // Entry k and the ones after it whose data follows on in the old archive, in one copy.
    // The position after them, or 0 when it failed.
    std::size_t CopyRanges(std::size_t k) {
        const auto start = static_cast<std::uint64_t>(entries_[k].Offset);
        std::uint64_t end = start;
        std::size_t next = k;
        while (next < entries_.size() && entries_[next].File.empty() &&
               static_cast<std::uint64_t>(entries_[next].Offset) == end)
            end += static_cast<std::uint64_t>(entries_[next++].Size);
        return Copy(options_.Old->File(), start, end - start, -1,
                    "the archive changed while it was read")
                   ? next
                   : 0;
    }

    std::size_t CopyFile(std::size_t k) {
        Input& in = inputs_[k];
        const int entry = static_cast<int>(k);
        if (!in.File) {
            OpenError error;
            in.File = io::InputFile::Open(entries_[k].File, error);
            if (!in.File)
                return Fail(entry, DescribeInput(error));
        }
        // Another file put in its place, or its size changed since it was looked at.
        const char* changed = "changed while the archive was written";
        if (!(in.File->Id() == in.Id))
            return Fail(entry, changed);
        if (!Copy(*in.File, 0, in.Size, entry, changed, true))
            return 0;
        std::error_code ec;
        if (in.Size > SmallPiece && in.File->SizeNow(ec) != in.Size)
            return Fail(entry, changed);
        in.File.reset();
        return k + 1;
    }

    io::NewFile& out_;
    const WriteOptions& options_;
    std::span<const WriteEntry> entries_;
    std::vector<Input>& inputs_;
    WriteReport& report_;
    std::string pending_;
    std::vector<char> buffer_;
    WriteProgress progress_;
    Clock::time_point lastProgress_ = Clock::now();
};

} // namespace

WriteReport WriteArchive(const std::filesystem::path& archivePath,
                         std::span<const WriteEntry> entries, const WriteOptions& options) {
    WriteReport report;
    const auto refuse = [&](int entry, std::string message) {
        report.Refused.push_back({entry, std::move(message)});
    };

    // The file at the path now: what the new archive replaces, and what no input may be.
    std::optional<io::FileId> archiveId;
    if (options.Old) {
        archiveId = options.Old->File().Id();
    } else {
        OpenError error;
        if (const auto existing = io::InputFile::Open(archivePath, error)) {
            archiveId = existing->Id();
            if (!options.ReplaceExisting)
                refuse(-1, "exists already");
        } else if (error.What != OpenError::Kind::NotFound) {
            refuse(-1, Describe(error));
        }
    }
    io::OutputFolder folder;
    const std::filesystem::path parent =
        archivePath.has_parent_path() ? archivePath.parent_path() : ".";
    if (const OpenError error = folder.Open(parent))
        refuse(-1, Describe(error));

    const std::vector<int> sameNameAs = EarlierOfTheSameName(entries);
    std::vector<Input> inputs(entries.size());
    std::uint64_t total = RecordSize * (entries.size() + 1);
    // Input files are held open from the checks to the copy, as many as may be; the others
    // are opened again to be copied.
    std::size_t open = 0;
    const std::size_t keptOpen = io::OpenFilesAllowed();
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const WriteEntry& e = entries[k];
        const int entry = static_cast<int>(k);
        if (const std::string why = StoredNameProblem(e.Name); !why.empty()) {
            refuse(entry, why);
        } else if (const int first = sameNameAs[k]; first >= 0) {
            refuse(entry, "same name as entry " + std::to_string(first) +
                              (entries[std::size_t(first)].Name == e.Name ? ""
                                                                          : " when case is folded"));
        }
        if (e.File.empty()) {
            if (!options.Old || e.Offset < 0 || e.Size < 0 ||
                static_cast<std::uint64_t>(e.Offset) + static_cast<std::uint64_t>(e.Size) >
                    options.Old->Size())
                refuse(entry, "its data lies outside the archive");
            total += static_cast<std::uint64_t>(std::max(e.Size, 0));
            continue;
        }
        OpenError error;
        auto file = io::InputFile::Open(e.File, error);
        if (!file) {
            refuse(entry, DescribeInput(error));
            continue;
        }
        if (archiveId && file->Id() == *archiveId)
            refuse(entry, "is the archive itself");
        inputs[k] = {nullptr, file->Id(), file->Size()};
        total += file->Size();
        if (open < keptOpen && report.Refused.empty()) {
            inputs[k].File = std::move(file);
            ++open;
        }
    }
    if (total > static_cast<std::uint64_t>(INT32_MAX))
        refuse(-1, "the archive would hold " + std::to_string(total) +
                       " bytes, more than its offsets can reach (2147483647)");
    if (!report.Refused.empty() || options.CheckOnly)
        return report;

    io::NewFile out;
    std::error_code ec;
    folder.Create(out, ec);
    if (ec) {
        report.Failed = {-1, "cannot write the archive: " + io::SystemMessage(ec)};
        return report;
    }
    out.SyncAsWritten();
    if (!Writer(out, options, entries, inputs, report).Run(total))
        return report; // the new file is dropped with `out`
    inputs.clear();
    if (options.Old)
        *options.Old = Archive();
    out.Sync(ec);
    // A new archive takes its name only while it is free; an edited one replaces the old
    // archive only while that is still the file at the path.
    const bool keepExisting = !options.Old && !options.ReplaceExisting;
    const auto mayReplace = [&](const io::FileId& id) { return !options.Old || id == *archiveId; };
    io::FileId replaced;
    const io::NewFile::Naming naming =
        ec ? io::NewFile::Naming::Refused
           : out.NameAs(archivePath.filename(), keepExisting, mayReplace, replaced, ec);
    if (ec)
        report.Failed = {-1, "cannot write the archive: " + io::SystemMessage(ec)};
    else if (naming == io::NewFile::Naming::Kept)
        report.Failed = {-1, "exists already"};
    else if (naming == io::NewFile::Naming::Refused)
        report.Failed = {-1, "the archive was replaced while it was written"};
    return report;
}

EditableDirectory ReadForEditing(const Archive& archive) {
    EditableDirectory dir;
    const CheckReport check = CheckArchive(archive, [&](const Finding& f) {
        if (f.What == Finding::Kind::Problem)
            dir.Problems.push_back("cannot be edited: entry " + std::to_string(f.Position) + ' ' +
                                   f.Name + ": " + f.Text);
    });
    dir.ReadError = check.ReadError;
    if (dir.ReadError || !dir.Problems.empty())
        return dir;
    archive.WalkDirectory(
        [&](int, const ArchiveEntry& e) {
            dir.Entries.push_back(e);
            return true;
        },
        dir.ReadError);
    if (dir.ReadError)
        dir.Entries.clear();
    return dir;
}

} // namespace archive
