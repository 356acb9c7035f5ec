#include "archive/ArchiveWriter.h"

#include "FileIO.h"
#include "archive/ArchiveEntry.h"
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
using Kind = WriteProblem::Kind;
constexpr auto ProgressEvery = std::chrono::milliseconds(50);
// Pieces up to this size are gathered in memory and written together.
constexpr std::size_t SmallPiece = 64u << 10;
constexpr std::size_t WriteAt = 1u << 20;

struct Input {
    std::unique_ptr<io::InputFile> File;
    io::FileId Id;
    std::uint64_t Size = 0;
};

// For each entry, the first one before it whose name is the same when case is folded, or -1;
// names that cannot be stored are left out. Found by sorting, which for many entries is
// cheaper than a table of the names.
std::vector<int> EarlierOfTheSameName(std::span<const WriteEntry> entries) {
    std::vector<std::pair<std::string, int>> folded;
    folded.reserve(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k)
        if (StoredNameProblem(entries[k].Name) == NameProblem::None)
            folded.emplace_back(FoldCase(entries[k].Name), static_cast<int>(k));
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

// The file a path names, its symbolic links followed as the system follows them (at most 40);
// `dangling` when a link names nothing.
std::filesystem::path FollowLinks(std::filesystem::path path, bool& dangling) {
    namespace fs = std::filesystem;
    for (int links = 0; links < 40; ++links) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec)))
            return path;
        const fs::path target = fs::read_symlink(path, ec);
        if (ec)
            return path; // opening it says why
        path = target.is_absolute() ? target : path.parent_path() / target;
        if (!fs::exists(fs::symlink_status(path, ec))) {
            dangling = true;
            return path;
        }
    }
    return path; // a loop, which opening it reports
}

// Where an edit that keeps the layout puts each entry's data, and how large the archive gets.
struct Placement {
    std::vector<std::uint64_t> Offsets; // of each entry
    std::vector<std::size_t> Written;   // the entries whose data is written, by offset
    std::uint64_t Size = 0;             // of the archive
};

// The layout that an edit of an archive of oldSize bytes keeps, for entries of these sizes
// (each a file's, or its range of the old archive): the new directory with the record that ends
// it at the start; an entry of the old archive keeps its data where it is, unless the directory
// now covers it; a file that replaces an entry goes into its slot when it fits, no other entry's
// data shares the slot and the directory leaves it free; everything else follows the old
// archive's end, in directory order.
Placement PlaceKeepingLayout(std::span<const WriteEntry> entries,
                             std::span<const std::uint64_t> sizes, std::uint64_t oldSize) {
    Placement placed;
    const std::size_t n = entries.size();
    const std::uint64_t directory = RecordSize * (n + 1);
    // The old ranges the entries hold (an old entry's data, or the slot a file replaces), in
    // order: a range shares bytes with another when one before it reaches past its start.
    struct Range {
        std::uint64_t Start, End;
        std::size_t Entry;
    };
    std::vector<Range> ranges;
    for (std::size_t k = 0; k < n; ++k)
        if (entries[k].Offset >= 0 && entries[k].Size > 0)
            ranges.push_back({static_cast<std::uint64_t>(entries[k].Offset),
                              static_cast<std::uint64_t>(entries[k].Offset) +
                                  static_cast<std::uint64_t>(entries[k].Size),
                              k});
    std::sort(ranges.begin(), ranges.end(),
              [](const Range& a, const Range& b) { return a.Start < b.Start; });
    std::vector<bool> shared(n);
    const Range* reaching = nullptr; // of the ranges so far, the one that ends last
    for (const Range& r : ranges) {
        if (reaching && reaching->End > r.Start)
            shared[r.Entry] = shared[reaching->Entry] = true;
        if (!reaching || r.End > reaching->End)
            reaching = &r;
    }

    placed.Offsets.resize(n);
    std::uint64_t end = std::max(oldSize, directory);
    for (std::size_t k = 0; k < n; ++k) {
        const WriteEntry& e = entries[k];
        const auto offset = static_cast<std::uint64_t>(std::max(e.Offset, 0));
        const bool old = e.File.empty();
        // An empty entry of the old archive covers nothing, wherever it points.
        const bool stays = old ? sizes[k] == 0 || offset >= directory
                               : e.Size > 0 && sizes[k] <= static_cast<std::uint64_t>(e.Size) &&
                                     offset >= directory && !shared[k];
        if (stays) {
            placed.Offsets[k] = offset;
            if (!old)
                placed.Written.push_back(k);
        } else {
            placed.Offsets[k] = end;
            end += sizes[k];
            placed.Written.push_back(k);
        }
    }
    std::sort(placed.Written.begin(), placed.Written.end(),
              [&](std::size_t a, std::size_t b) { return placed.Offsets[a] < placed.Offsets[b]; });
    placed.Size = end;
    return placed;
}

// The data pass into the new file: the directory, then each entry's data; or, keeping the
// layout, the old archive whole, then the directory and the data that moves.
class Writer {
public:
    Writer(io::NewFile& out, const WriteOptions& options, std::span<const WriteEntry> entries,
           std::vector<Input>& inputs, WriteReport& report, const Placement* placement)
        : out_(out), options_(options), entries_(entries), inputs_(inputs), report_(report),
          placement_(placement) {}

    // False when it failed or was stopped (the report says which).
    bool Run(std::uint64_t total) {
        progress_.EntryCount = entries_.size();
        progress_.TotalBytes = total;
        if (placement_)
            return RunKeepingLayout();
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
    // The old archive's bytes with the directory and the data that moves put in: cloned whole
    // and then written over where the file system shares blocks, otherwise copied from start to
    // end around what is new, so that the new file is written once, in order.
    bool RunKeepingLayout() {
        const io::InputFile& old = options_.Old->File();
        const bool cloned = out_.CloneOf(old);
        if (cloned) {
            progress_.TotalBytes = old.Size() + RecordSize * (entries_.size() + 1);
            for (const std::size_t k : placement_->Written)
                progress_.TotalBytes += SizeOf(k);
            progress_.BytesDone = old.Size();
        }
        for (std::size_t k = 0; k < entries_.size(); ++k) {
            pending_ +=
                EncodeRecord(entries_[k].Name, static_cast<std::int32_t>(placement_->Offsets[k]),
                             static_cast<std::int32_t>(SizeOf(k)));
            if (pending_.size() >= WriteAt && !Flush())
                return false;
        }
        pending_.append(RecordSize, '\0');
        position_ = RecordSize * (entries_.size() + 1);
        progress_.BytesDone += position_;
        // The old archive's bytes from where writing is up to `end`.
        const auto oldUpTo = [&](std::uint64_t end) {
            return cloned ? At(end)
                          : end <= position_ ||
                                Copy(old, position_, end - position_, -1, Kind::ArchiveChanged);
        };
        for (const std::size_t k : placement_->Written) {
            progress_.Name = entries_[k].Name;
            const WriteEntry& e = entries_[k];
            if (!oldUpTo(placement_->Offsets[k]) ||
                (e.File.empty()
                     ? !Copy(old, static_cast<std::uint64_t>(e.Offset),
                             static_cast<std::uint64_t>(e.Size), -1, Kind::ArchiveChanged)
                     : CopyFile(k) == 0))
                return false;
            ++progress_.EntriesDone;
            Report(true);
        }
        if (!cloned && !oldUpTo(old.Size()))
            return false;
        progress_.EntriesDone = entries_.size();
        return Flush();
    }

    // Writing goes on at pos.
    bool At(std::uint64_t pos) {
        if (pos == position_)
            return true;
        std::error_code ec;
        if (!Flush())
            return false;
        out_.Seek(pos, ec);
        position_ = pos;
        return !ec || Fail(-1, Kind::WriteFailed, ec);
    }

    std::uint64_t SizeOf(std::size_t k) const {
        return entries_[k].File.empty() ? static_cast<std::uint64_t>(entries_[k].Size)
                                        : inputs_[k].Size;
    }

    bool Fail(int entry, Kind kind, std::error_code ec = {}) {
        report_.Failed.What = kind;
        report_.Failed.Entry = entry;
        report_.Failed.Error = ec;
        return false;
    }

    bool Flush() {
        std::error_code ec;
        out_.Write(pending_.data(), pending_.size(), ec);
        pending_.clear();
        return !ec || Fail(-1, Kind::WriteFailed, ec);
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
              Kind cutShort, bool toEnd = false) {
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
            const io::NewFile::Copied copied =
                out_.CopyFrom(from, pos, n, buffer_, Progressing(), ec);
            got = copied.Bytes;
            readFailed = copied.ReadFailed;
            progress_.BytesDone = before;
        }
        return Copied({got, readFailed}, n, ec, entry, cutShort);
    }

    // What a copy asks after each chunk: the progress, told now and then, and whether to go on.
    std::function<bool(std::uint64_t)> Progressing() {
        return [this, before = progress_.BytesDone](std::uint64_t done) {
            progress_.BytesDone = before + done;
            Report(false);
            return !options_.Stop.stop_requested();
        };
    }

    // After a copy that was to give n bytes: false when it was stopped or failed, as Copy says.
    bool Copied(const io::NewFile::Copied& copied, std::uint64_t n, std::error_code ec, int entry,
                Kind cutShort) {
        if (options_.Stop.stop_requested()) {
            report_.Cancelled = true;
            return false;
        }
        if (ec)
            return copied.ReadFailed ? Fail(entry, Kind::ReadFailed, ec)
                                     : Fail(-1, Kind::WriteFailed, ec);
        progress_.BytesDone += copied.Bytes;
        position_ += copied.Bytes;
        return copied.Bytes == n || Fail(entry, cutShort);
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
        return Copy(options_.Old->File(), start, end - start, -1, Kind::ArchiveChanged) ? next : 0;
    }

    std::size_t CopyFile(std::size_t k) {
        Input& in = inputs_[k];
        const int entry = static_cast<int>(k);
        if (!in.File) {
            OpenError error;
            in.File = io::InputFile::Open(entries_[k].File, error);
            if (!in.File) {
                report_.Failed = {.What = Kind::InputUnusable, .Entry = entry, .Open = error};
                return 0;
            }
        }
        // Another file put in its place, or its size changed since it was looked at.
        if (!(in.File->Id() == in.Id) || in.File->Size() != in.Size)
            return Fail(entry, Kind::InputChanged);
        if (!Copy(*in.File, 0, in.Size, entry, Kind::InputChanged, true))
            return 0;
        // Read in more than one piece: written to meanwhile, the pieces may not fit together.
        std::error_code ec;
        if (in.Size > SmallPiece && !(in.File->StateNow(ec) == in.File->State()))
            return Fail(entry, Kind::InputChanged);
        in.File.reset();
        return k + 1;
    }

    io::NewFile& out_;
    const WriteOptions& options_;
    std::span<const WriteEntry> entries_;
    std::vector<Input>& inputs_;
    WriteReport& report_;
    const Placement* placement_;
    std::string pending_;
    std::uint64_t position_ = 0; // where the bytes after pending_ go
    std::vector<char> buffer_;
    WriteProgress progress_;
    Clock::time_point lastProgress_ = Clock::now();
};

} // namespace

std::string Describe(const WriteProblem& p) {
    switch (p.What) {
    case Kind::None:
        break;
    case Kind::NameRefused:
        return Describe(p.Name);
    case Kind::SameName:
    case Kind::SameNameFolded:
        return "same name as " + std::string(p.OtherIsEntry ? "the entry " : "") + p.Text +
               (p.What == Kind::SameNameFolded ? " when case is folded" : "");
    case Kind::OutsideArchive:
        return "its data lies outside the archive";
    case Kind::InputUnusable:
        if (p.Open.What == OpenError::Kind::NotFound)
            return "does not exist";
        if (p.Open.What == OpenError::Kind::Unreadable)
            return "cannot read it: " + io::SystemMessage(p.Open.Error);
        return Describe(p.Open);
    case Kind::IsTheArchive:
        return "is the archive itself";
    case Kind::TooLarge:
        return "the archive would hold " + std::to_string(p.Bytes) +
               " bytes, more than its offsets can reach (2147483647)";
    case Kind::CannotOpen:
        return Describe(p.Open);
    case Kind::Exists:
        return "exists already";
    case Kind::LinkToNothing:
        return "is a symbolic link to a file that does not exist";
    case Kind::CannotBeEdited:
        return "cannot be edited: entry " + std::to_string(p.Other) + ' ' + p.Text + ": " +
               p.Finding;
    case Kind::NameNotInCodePage:
        return "the system's code page cannot write its name";
    case Kind::NoEntryNamed:
        return "no entry named " + p.Text;
    case Kind::ReplacedTwice:
        return "entry " + std::to_string(p.Other) + " is replaced by " + p.Text;
    case Kind::ChangedBeforeReplace:
        return "not replaced: the archive changed since it was listed";
    case Kind::ChangedBeforeRemove:
        return "nothing removed: the archive changed since it was listed";
    case Kind::ChangedBeforeRename:
        return "not renamed: the archive changed since it was listed";
    case Kind::ReadFailed:
        return "cannot read it: " + io::SystemMessage(p.Error);
    case Kind::WriteFailed:
        return "cannot write the archive: " + io::SystemMessage(p.Error);
    case Kind::ArchiveChanged:
        return "the archive changed while it was read";
    case Kind::InputChanged:
        return "changed while the archive was written";
    case Kind::ArchiveReplaced:
        return "the archive was replaced while it was written";
    case Kind::ArchiveMoved:
        return "the archive was moved or removed while it was written";
    }
    return {};
}

WriteReport WriteArchive(const std::filesystem::path& path, std::span<const WriteEntry> entries,
                         const WriteOptions& options) {
    WriteReport report;
    const auto refuse = [&](int entry, Kind kind) -> WriteProblem& {
        return report.Refused.emplace_back(WriteProblem{.What = kind, .Entry = entry});
    };

    // Through a symbolic link, the file it names is the archive: it is replaced, the link stays.
    bool dangling = false;
    const std::filesystem::path archivePath = FollowLinks(path, dangling);
    if (dangling)
        refuse(-1, Kind::LinkToNothing);
    // The file at the path now: what the new archive replaces, and what no input may be.
    std::unique_ptr<io::InputFile> existing;
    const io::InputFile* archiveFile = options.Old ? &options.Old->File() : nullptr;
    if (!options.Old && !dangling) {
        OpenError error;
        if ((existing = io::InputFile::Open(archivePath, error))) {
            archiveFile = existing.get();
            if (!options.ReplaceExisting)
                refuse(-1, Kind::Exists);
        } else if (error.What != OpenError::Kind::NotFound) {
            refuse(-1, Kind::CannotOpen).Open = error;
        }
    }
    const auto isTheArchive = [&](const io::InputFile& file) {
        // The same file, or on a file system that gives each spelling of a name an identity of
        // its own, the archive's name spelled otherwise (asked only of a file that could be it).
        return archiveFile &&
               (file.Id() == archiveFile->Id() ||
                (file.Id().Device == archiveFile->Id().Device &&
                 file.Size() == archiveFile->Size() && io::OneFileBySpelling(file, *archiveFile)));
    };
    io::OutputFolder folder;
    const std::filesystem::path parent =
        archivePath.has_parent_path() ? archivePath.parent_path() : ".";
    if (const OpenError error = folder.Open(parent))
        refuse(-1, Kind::CannotOpen).Open = error;

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
        if (const NameProblem why = StoredNameProblem(e.Name); why != NameProblem::None) {
            refuse(entry, Kind::NameRefused).Name = why;
        } else if (const int first = sameNameAs[k]; first >= 0) {
            const WriteEntry& other = entries[std::size_t(first)];
            WriteProblem& p =
                refuse(entry, other.Name == e.Name ? Kind::SameName : Kind::SameNameFolded);
            p.Other = first;
            p.Text = other.Name;
            p.OtherIsEntry = other.File.empty();
        }
        if (e.File.empty()) {
            if (!options.Old || e.Offset < 0 || e.Size < 0 ||
                static_cast<std::uint64_t>(e.Offset) + static_cast<std::uint64_t>(e.Size) >
                    options.Old->Size())
                refuse(entry, Kind::OutsideArchive);
            total += static_cast<std::uint64_t>(std::max(e.Size, 0));
            continue;
        }
        OpenError error;
        auto file = io::InputFile::Open(e.File, error);
        if (!file) {
            refuse(entry, Kind::InputUnusable).Open = error;
            continue;
        }
        if (isTheArchive(*file))
            refuse(entry, Kind::IsTheArchive);
        inputs[k] = {nullptr, file->Id(), file->Size()};
        total += file->Size();
        if (open < keptOpen && report.Refused.empty()) {
            inputs[k].File = std::move(file);
            ++open;
        }
    }
    std::optional<Placement> placement;
    if (options.Old && !options.Compact) {
        std::vector<std::uint64_t> sizes(entries.size());
        for (std::size_t k = 0; k < entries.size(); ++k)
            sizes[k] = entries[k].File.empty()
                           ? static_cast<std::uint64_t>(std::max(entries[k].Size, 0))
                           : inputs[k].Size;
        placement = PlaceKeepingLayout(entries, sizes, options.Old->Size());
        total = placement->Size;
    }
    if (total > static_cast<std::uint64_t>(INT32_MAX))
        refuse(-1, Kind::TooLarge).Bytes = total;
    if (!report.Refused.empty() || options.CheckOnly)
        return report;
    const std::optional<io::FileId> archiveId =
        archiveFile ? std::optional(archiveFile->Id()) : std::nullopt;
    existing.reset();

    folder.RemoveLeftovers();
    io::NewFile out;
    std::error_code ec;
    folder.Create(out, ec);
    if (ec) {
        report.Failed = {.What = Kind::WriteFailed, .Error = ec};
        return report;
    }
    out.SyncAsWritten();
    if (!Writer(out, options, entries, inputs, report, placement ? &*placement : nullptr)
             .Run(total))
        return report; // the new file is dropped with `out`
    inputs.clear();
    // The archive edited was read in many pieces: written to meanwhile, they may not fit. Its
    // change time alone moves when it is renamed too: then it is changed only while it is still
    // the file at its name (elsewhere, taking its name says what became of it).
    io::FileState read;
    if (options.Old) {
        read = options.Old->File().State();
        const io::FileState now = options.Old->File().StateNow(ec);
        OpenError error;
        const auto there = now == read || ec ? nullptr : io::InputFile::Open(archivePath, error);
        if (!ec && (now.DataDiffers(read) || (there && there->Id() == *archiveId))) {
            report.Failed.What = Kind::ArchiveChanged;
            return report;
        }
        *options.Old = Archive();
    }
    if (!ec)
        out.Sync(ec);
    // A new archive takes its name only while it is free; an edited one replaces the old
    // archive only while that is still the file at the path, as it was read.
    using Naming = io::NewFile::Naming;
    Naming naming = Naming::Refused;
    if (!ec && options.Old) {
        naming = out.TakePlaceOf(archivePath.filename(), *archiveId, read, ec);
    } else if (!ec) {
        io::FileId replaced;
        naming = out.NameAs(
            archivePath.filename(), !options.ReplaceExisting,
            [](const io::FileId&) { return true; }, replaced, ec);
    }
    if (ec)
        report.Failed = {.What = Kind::WriteFailed, .Error = ec};
    else if (naming == Naming::Kept)
        report.Failed.What = Kind::Exists;
    else if (naming == Naming::Refused)
        report.Failed.What = Kind::ArchiveReplaced;
    else if (naming == Naming::Changed)
        report.Failed.What = Kind::ArchiveChanged;
    else if (naming == Naming::Gone)
        report.Failed.What = Kind::ArchiveMoved;
    return report;
}

} // namespace archive
