#include "archive/Extract.h"

#include "FileIO.h"
#include "RecordReader.h"
#include "WrittenFiles.h"
#include "archive/ArchiveEntry.h"
#include "archive/Names.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <span>

namespace archive {

namespace {

namespace fs = std::filesystem;
using Kind = EntryResult::Kind;
using Clock = std::chrono::steady_clock;

// Entries up to this size are served from one read of the archive into the buffer, which
// covers the entries that follow too when they lie close together.
constexpr std::size_t ReadAhead = 256u << 10;
// Entries up to this size whose name is free are written under it directly (see Write).
constexpr std::size_t SmallEntry = 64u << 10;
constexpr auto ProgressEvery = std::chrono::milliseconds(50);

class Extractor {
public:
    Extractor(const Archive& archive, const ExtractOptions& options, ExtractReport& report)
        : archive_(archive), options_(options), report_(report),
          records_(archive.File(), io::LookupBlockRecords), written_(folder_, records_) {}

    // Opens the output folder, and removes what killed runs left there; false (with the
    // report's error set) when it cannot be opened.
    bool OpenFolder(const fs::path& path) {
        report_.FolderError = folder_.Open(path);
        if (!report_.FolderError)
            folder_.RemoveLeftovers();
        return !report_.FolderError;
    }

    void SetTotals(std::uint64_t entries, std::uint64_t bytes) {
        progress_.EntryCount = entries;
        progress_.TotalBytes = bytes;
    }

    io::RecordReader& Records() { return records_; }

    // A result known without touching the folder.
    void Skip(int position, Kind kind, std::string name = {}, std::error_code ec = {}) {
        EntryResult e;
        e.Position = position;
        e.Name = std::move(name);
        e.Result = kind;
        e.Error = ec;
        Deliver(std::move(e), 0);
    }

    // Checks one entry's record and writes its file.
    void Entry(int position, const ArchiveEntry& entry, const std::string_view* listed) {
        EntryResult e;
        e.Position = position;
        e.Name = entry.Name;
        e.Offset = entry.Offset;
        e.Size = entry.Size;
        const Kind record = RecordReadable(entry);
        if (options_.Stop.stop_requested())
            e.Result = Kind::Cancelled;
        else if (listed && *listed != entry.Name) {
            e.Result = Kind::ArchiveChanged;
            e.Name = *listed; // named as the caller listed it
        } else if (record == Kind::RecordCutShort)
            e.Result = record;
        else if (UnsafeName(entry.Name) != NameProblem::None)
            e.Result = Kind::UnsafeName;
        else if (record != Kind::Written)
            e.Result = record;
        else
            Write(e, PresentBytes(entry, archive_.Size()));
        Deliver(std::move(e), PresentBytes(entry, archive_.Size()));
    }

private:
    // Writes the entry's file and gives it the entry's name; sets the result.
    void Write(EntryResult& e, std::uint64_t present) {
        io::NewFile file;
        std::error_code ec;
        const Kind copied = present <= ReadAhead ? WriteSmall(e, present, file, ec)
                                                 : WriteLarge(e, present, file, ec);
        if (copied != Kind::Written) { // the archive could not be read, or a stop came
            file.Discard();
            e.Result = copied;
            e.Error = copied == Kind::ReadFailed ? ec : std::error_code();
            e.BytesWritten = 0;
            return;
        }
        NameFile(e, file, ec);
    }

    // The bytes of an entry of up to ReadAhead bytes, fewer where the archive ends. One read
    // fills the window for this entry and for those that follow when they lie close together.
    std::string_view FromWindow(std::uint64_t offset, std::uint64_t present, std::error_code& ec) {
        if (present == 0)
            return {};
        if (offset < windowAt_ || offset + present > windowAt_ + windowLength_) {
            const io::InputFile& in = archive_.File();
            const auto want =
                static_cast<std::size_t>(std::min<std::uint64_t>(ReadAhead, in.Size() - offset));
            if (window_.size() < want)
                window_.resize(ReadAhead);
            windowLength_ = 0;
            windowLength_ = in.ReadAt(window_.data(), want, offset, ec);
            windowAt_ = offset;
            if (ec) {
                windowLength_ = 0;
                return {};
            }
            present = std::min<std::uint64_t>(present, windowLength_);
        }
        return {window_.data() + (offset - windowAt_), static_cast<std::size_t>(present)};
    }

    // An entry served from the window. When its name is free and it is small, it is created
    // under that name and written with one call, the fewest system calls there are; it is
    // removed again on any failure. Otherwise it goes to a file without a name like any other.
    // Written, or ReadFailed (ec set); a failure to write is left in ec for NameFile.
    Kind WriteSmall(EntryResult& e, std::uint64_t present, io::NewFile& file, std::error_code& ec) {
        const std::string_view data = FromWindow(static_cast<std::uint64_t>(e.Offset), present, ec);
        if (ec)
            return Kind::ReadFailed;
        const bool named = data.size() <= SmallEntry && folder_.CreateNamed(file, e.Name, ec);
        if (!named && !ec)
            folder_.Create(file, ec);
        if (!ec && !data.empty())
            file.Write(data.data(), data.size(), ec);
        e.BytesWritten = data.size();
        return Kind::Written;
    }

    // A large entry, copied in chunks into a file without a name, with progress on the way.
    // Written, Cancelled, or ReadFailed (ec set); a failure to write is left in ec for NameFile.
    Kind WriteLarge(EntryResult& e, std::uint64_t present, io::NewFile& file, std::error_code& ec) {
        folder_.Create(file, ec);
        if (ec)
            return Kind::Written;
        bool stopped = false;
        const auto more = [&](std::uint64_t done) {
            if (options_.Stop.stop_requested()) {
                stopped = true;
                return false;
            }
            if (options_.OnProgress && Clock::now() - lastProgress_ >= ProgressEvery) {
                progress_.Position = e.Position;
                progress_.Name = e.Name;
                ExtractProgress now = progress_;
                now.BytesDone += done;
                options_.OnProgress(now);
                lastProgress_ = Clock::now();
            }
            return true;
        };
        const io::NewFile::Copied copied = file.CopyFrom(
            archive_.File(), static_cast<std::uint64_t>(e.Offset), present, copyBuffer_, more, ec);
        e.BytesWritten = copied.Bytes;
        return stopped ? Kind::Cancelled : copied.ReadFailed ? Kind::ReadFailed : Kind::Written;
    }

    // Gives the written file the entry's name, unless that would replace the archive itself.
    // An earlier entry's file that it replaces is reported.
    void NameFile(EntryResult& e, io::NewFile& file, std::error_code& ec) {
        io::FileId replaced;
        std::optional<io::WrittenFiles::Written> earlier;
        const auto mayReplace = [&](const io::FileId& old) {
            if (old == archive_.File().Id() || folder_.NamesFile(e.Name, archive_.File()))
                return false;
            earlier = written_.Find(old, e.Name, e.Position);
            return true;
        };
        const io::NewFile::Naming naming =
            ec ? io::NewFile::Naming::Refused
               : file.Name(e.Name, options_.KeepExisting, mayReplace, replaced, ec);
        if (ec) {
            file.Discard();
            e.Result = Kind::WriteFailed;
            e.Error = ec;
            e.BytesWritten = 0;
            return;
        }
        if (naming == io::NewFile::Naming::Refused || naming == io::NewFile::Naming::Kept) {
            e.Result = naming == io::NewFile::Naming::Kept ? Kind::KeptExisting
                                                           : Kind::WouldReplaceArchive;
            e.BytesWritten = 0;
            return;
        }
        e.Result =
            e.BytesWritten < static_cast<std::uint64_t>(e.Size) ? Kind::CutShort : Kind::Written;
        if (naming == io::NewFile::Naming::Replaced && earlier) {
            MarkReplaced(*earlier, e.Position);
            written_.Replaced(*earlier, replaced);
        }
        written_.Add(e.Position, e.Result == Kind::Written);
        // Where the system or the folder keeps no zone the file goes without, as it would
        // when copied there.
        if (!archive_.Zone().empty())
            folder_.MarkZone(e.Name, archive_.Zone());
    }

    // An earlier entry's file was replaced by the one of `by`.
    void MarkReplaced(const io::WrittenFiles::Written& earlier, int by) {
        if (earlier.Whole)
            ++report_.Problems;
        if (!options_.OnResult) {
            const auto it =
                std::find_if(report_.Entries.rbegin(), report_.Entries.rend(),
                             [&](const EntryResult& r) { return r.Position == earlier.Position; });
            if (it != report_.Entries.rend()) {
                it->Result = Kind::ReplacedByLater;
                it->ReplacedBy = by;
            }
            return;
        }
        EntryResult e;
        e.Position = earlier.Position;
        std::error_code ec;
        const std::string_view record =
            records_.Record(static_cast<std::uint64_t>(earlier.Position), ec);
        const ArchiveEntry entry = DecodeRecord(record);
        e.Name = entry.Name;
        e.Offset = entry.Offset;
        e.Size = entry.Size;
        e.Result = Kind::ReplacedByLater;
        e.ReplacedBy = by;
        options_.OnResult(e);
    }

    void Deliver(EntryResult&& e, std::uint64_t bytes) {
        ++report_.EntryCount;
        if (e.Result != Kind::Written && e.Result != Kind::KeptExisting)
            ++report_.Problems;
        ++progress_.EntriesDone;
        progress_.BytesDone += bytes;
        if (options_.OnProgress) {
            progress_.Position = e.Position;
            progress_.Name = e.Name;
            options_.OnProgress(progress_);
            progress_.Name = {};
            lastProgress_ = Clock::now();
        }
        if (options_.OnResult)
            options_.OnResult(e);
        else
            report_.Entries.push_back(std::move(e));
    }

    const Archive& archive_;
    const ExtractOptions& options_;
    ExtractReport& report_;
    io::OutputFolder folder_;
    io::RecordReader records_;
    io::WrittenFiles written_;
    // The read-ahead window: ReadAhead bytes of the archive from windowAt_, windowLength_ of
    // them read. Large entries are copied through a buffer of their own.
    std::vector<char> window_, copyBuffer_;
    std::uint64_t windowAt_ = 0;
    std::size_t windowLength_ = 0;
    ExtractProgress progress_;
    Clock::time_point lastProgress_;
};

// The selected entries in ascending order, each once: the positions given, each record looked
// up on its own, merged with the entries whose names byName accepts, found by walking the
// directory. Both passes over a selection (the totals, then the extraction) go through it.
class Selection {
public:
    struct Entry {
        int Position = -1;
        std::string_view Record; // its bytes; none when they end the directory or reading failed
        const std::string_view* Listed = nullptr; // the name the caller listed for it, if any
        std::error_code Error;                    // reading its record failed
    };

    Selection(const io::InputFile& file, std::span<const int> positions,
              std::span<const std::string_view> listed, const NameFilter& byName, int listCount)
        : positions_(positions), listed_(listed), byName_(byName ? &byName : nullptr),
          listCount_(listCount), lookup_(file, io::LookupBlockRecords),
          walk_(file, io::WalkBlockRecords) {}

    // The next selected entry; false when there is none.
    bool Next(Entry& e) {
        while (i_ < positions_.size() && (positions_[i_] < 0 || positions_[i_] >= listCount_))
            ++i_;
        if (byName_ && match_ < 0)
            FindMatch();
        const int position = i_ < positions_.size() ? positions_[i_] : -1;
        if (match_ < 0 && position < 0)
            return false;
        e = {};
        if (match_ >= 0 && (position < 0 || match_ <= position)) {
            e.Position = match_;
            e.Record = matchBytes_;
            match_ = -1;
        } else {
            e.Position = position;
            e.Record = lookup_.DirectoryRecord(static_cast<std::uint64_t>(position), e.Error);
        }
        if (e.Position == position) {
            if (i_ < listed_.size())
                e.Listed = &listed_[i_];
            ++i_;
        }
        return true;
    }

    // Set when the walk for names ended because reading the directory failed.
    const std::error_code& WalkError() const { return walkError_; }

private:
    void FindMatch() {
        for (std::string_view record; !(record = walk_.Next(walkError_)).empty();) {
            const auto k = static_cast<int>(walk_.Walked() - 1);
            if (k >= listCount_)
                break;
            if ((*byName_)(CutName(record))) {
                match_ = k;
                matchBytes_ = record;
                return;
            }
        }
        byName_ = nullptr; // the walk is over
    }

    std::span<const int> positions_;
    std::span<const std::string_view> listed_;
    const NameFilter* byName_;
    const int listCount_;
    std::size_t i_ = 0; // the next of positions_
    io::RecordReader lookup_, walk_;
    int match_ = -1; // the entry the walk found last, until it is handed out
    std::string_view matchBytes_;
    std::error_code walkError_;
};

} // namespace

Kind RecordReadable(const ArchiveEntry& entry) {
    return !entry.Complete                      ? Kind::RecordCutShort
           : entry.Offset < 0 || entry.Size < 0 ? Kind::NegativeRange
                                                : Kind::Written;
}

std::string Describe(const EntryResult& e) {
    switch (e.Result) {
    case Kind::Written:
        return {};
    case Kind::CutShort:
        return "cut short by the end of the archive (" + std::to_string(e.BytesWritten) + " of " +
               std::to_string(e.Size) + " bytes written)";
    case Kind::UnsafeName:
        return Describe(UnsafeName(e.Name));
    case Kind::NegativeRange:
        return e.Offset < 0 ? "negative offset " + std::to_string(e.Offset)
                            : "negative size " + std::to_string(e.Size);
    case Kind::RecordCutShort:
        return "its directory record is cut short by the end of the archive";
    case Kind::NotInDirectory:
    case Kind::ArchiveChanged:
        return "not extracted: the archive changed since it was listed";
    case Kind::WouldReplaceArchive:
        return "not written: it would replace the archive itself";
    case Kind::ReplacedByLater:
        return "replaced by entry " + std::to_string(e.ReplacedBy) + ", which has the same name";
    case Kind::ReadFailed:
        return "cannot read it: " + io::SystemMessage(e.Error);
    case Kind::WriteFailed:
        return "cannot write it: " + io::SystemMessage(e.Error);
    case Kind::Cancelled:
        return "not extracted: extraction was stopped";
    case Kind::KeptExisting:
        return "kept the existing file";
    case Kind::NotOpened:
        break;
    }
    return "not extracted: the archive or the output folder could not be opened";
}

ExtractReport ExtractEntries(const fs::path& archivePath, const fs::path& outputFolder,
                             std::span<const int> selectedPositions, int listCount,
                             const ExtractOptions& options) {
    return ExtractEntries(Archive(archivePath), outputFolder, selectedPositions, listCount,
                          options);
}

ExtractReport ExtractEntries(const Archive& archive, const fs::path& outputFolder,
                             std::span<const int> selectedPositions, int listCount,
                             const ExtractOptions& options) {
    return ExtractEntries(archive, outputFolder, selectedPositions, NameFilter(), listCount,
                          options);
}

ExtractReport ExtractEntries(const Archive& archive, const fs::path& outputFolder,
                             std::span<const int> selectedPositions, const NameFilter& byName,
                             int listCount, const ExtractOptions& options) {
    ExtractReport report;
    const auto wanted = [&](int k) { return k >= 0 && k < listCount; };
    if (!archive.IsOpen()) {
        report.ArchiveError = archive.Error();
        for (const int k : selectedPositions)
            if (wanted(k)) {
                ++report.Problems;
                ++report.EntryCount;
                EntryResult e;
                e.Position = k;
                if (options.OnResult)
                    options.OnResult(e);
                else
                    report.Entries.push_back(std::move(e));
            }
        if (byName)
            ++report.Problems; // the entries of those names are not even known
        return report;
    }

    Extractor x(archive, options, report);
    if (!x.OpenFolder(outputFolder)) {
        for (const int k : selectedPositions)
            if (wanted(k))
                x.Skip(k, Kind::NotOpened);
        if (byName)
            ++report.Problems;
        return report;
    }
    if (options.OnProgress) {
        // The totals come from a first pass over the selected records.
        Selection totals(archive.File(), selectedPositions, {}, byName, listCount);
        std::uint64_t entries = 0, bytes = 0;
        bool inDirectory = true;
        for (Selection::Entry e; totals.Next(e);) {
            ++entries;
            inDirectory = inDirectory && !e.Record.empty();
            if (inDirectory)
                bytes += PresentBytes(DecodeRecord(e.Record), archive.Size());
        }
        x.SetTotals(entries, bytes);
    }

    Selection selection(archive.File(), selectedPositions, options.ListedNames, byName, listCount);
    for (Selection::Entry e; selection.Next(e);) {
        if (report.StoppedAt >= 0) {
            x.Skip(e.Position, Kind::NotInDirectory);
        } else if (e.Error) {
            x.Skip(e.Position, Kind::ReadFailed, {}, e.Error);
        } else if (e.Record.empty()) {
            report.StoppedAt = e.Position;
            x.Skip(e.Position, Kind::NotInDirectory);
        } else {
            x.Entry(e.Position, DecodeRecord(e.Record), e.Listed);
        }
    }
    if (selection.WalkError()) {
        report.ArchiveError = {OpenError::Kind::Unreadable, OpenError::Subject::Archive,
                               selection.WalkError()};
        ++report.Problems;
    }
    return report;
}

std::vector<std::string> ExistingNames(const fs::path& outputFolder,
                                       std::span<const std::string> names) {
    std::vector<std::string> existing;
    io::OutputFolder folder;
    if (folder.Open(outputFolder))
        return existing;
    io::FileId id;
    for (const std::string& name : names)
        if (UnsafeName(name) == NameProblem::None && folder.Identify(name, id))
            existing.push_back(name);
    return existing;
}

ExtractReport ExtractEveryEntry(const Archive& archive, const fs::path& outputFolder,
                                const ExtractOptions& options) {
    const NameFilter every = [](std::string_view) { return true; };
    return ExtractEntries(archive, outputFolder, {}, every, static_cast<int>(MaxRecords), options);
}

} // namespace archive
