#include "archive/Checksums.h"

#include "archive/ArchiveEntry.h"

#include <algorithm>
#include <chrono>

namespace archive {

namespace {

// Data is read a large block at a time, each block hashed where it was read to.
constexpr std::size_t BufferSize = 1u << 20;
constexpr auto ProgressEvery = std::chrono::milliseconds(50);

bool NeedsEscape(std::string_view name) {
    return name.find_first_of("\\\n\r") != std::string_view::npos;
}

// The name of an escaped line: \\, \n and \r; false for any other backslash.
bool Unescape(std::string_view escaped, std::string& name) {
    name.clear();
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\') {
            name += escaped[i];
            continue;
        }
        if (++i == escaped.size())
            return false;
        switch (escaped[i]) {
        case '\\':
            name += '\\';
            break;
        case 'n':
            name += '\n';
            break;
        case 'r':
            name += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

} // namespace

std::string SumLine(std::string_view hexDigest, std::string_view name) {
    std::string line;
    line.reserve(hexDigest.size() + name.size() + 4);
    if (!NeedsEscape(name))
        return line.append(hexDigest).append("  ").append(name).append(1, '\n');
    line.append(1, '\\').append(hexDigest).append("  ");
    for (const char c : name)
        line.append(c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c));
    return line.append(1, '\n');
}

ListLine ParseSumLine(std::string_view line, ListedSum& sum) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.empty() || line[0] == '#')
        return ListLine::Skipped;
    const bool escaped = line[0] == '\\';
    if (escaped)
        line.remove_prefix(1);
    // The digest, a space, then a second space or '*' (a single space will do, as the
    // checksum tools have it), then the name.
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos)
        return ListLine::Malformed;
    const std::size_t name =
        space + 1 + (space + 1 < line.size() && (line[space + 1] == ' ' || line[space + 1] == '*'));
    if (name >= line.size())
        return ListLine::Malformed;
    const std::optional<Algorithm> algorithm = AlgorithmOfHexDigits(space);
    std::optional<std::string> digest = FromHex(line.substr(0, space));
    if (!algorithm || !digest)
        return ListLine::Malformed;
    if (escaped ? !Unescape(line.substr(name), sum.Name)
                : (sum.Name.assign(line.substr(name)), false))
        return ListLine::Malformed;
    sum.Digest = std::move(*digest);
    sum.Of = *algorithm;
    return ListLine::Sum;
}

EntryDigester::EntryDigester(const Archive& archive)
    : archive_(archive), buffer_(std::make_unique_for_overwrite<char[]>(BufferSize)) {}

EntryResult EntryDigester::Read(int position, const ArchiveEntry& entry, Digest& digest,
                                std::string& out, const std::function<bool(std::uint64_t)>& more) {
    using Kind = EntryResult::Kind;
    EntryResult e;
    e.Position = position;
    e.Name = entry.Name;
    e.Offset = entry.Offset;
    e.Size = entry.Size;
    out.clear();
    if ((e.Result = RecordReadable(entry)) != Kind::Written)
        return e;
    const auto size = static_cast<std::uint64_t>(entry.Size);
    if (PresentBytes(entry, archive_.Size()) < size) {
        e.Result = Kind::CutShort;
        e.BytesWritten = PresentBytes(entry, archive_.Size());
        return e;
    }
    const auto offset = static_cast<std::uint64_t>(entry.Offset);
    while (e.BytesWritten < size) {
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - e.BytesWritten, BufferSize));
        const std::size_t got =
            archive_.ReadAt(buffer_.get(), want, offset + e.BytesWritten, e.Error);
        digest.Update(buffer_.get(), got);
        e.BytesWritten += got;
        if (e.Error || got < want) { // a failure, or the file has shrunk since it was opened
            e.Result = e.Error ? Kind::ReadFailed : Kind::CutShort;
            break;
        }
        if (more && e.BytesWritten < size && !more(e.BytesWritten)) {
            e.Result = Kind::Cancelled;
            break;
        }
    }
    std::string digested = digest.Finish(); // also when the entry failed: it starts over
    if (e.Result == Kind::Written)
        out = std::move(digested);
    return e;
}

ListLine ChecksumList::Add(std::string_view line) {
    ++lines_;
    Expected expected;
    const ListLine kind = ParseSumLine(line, expected.Sum);
    if (kind != ListLine::Sum)
        return kind;
    expected.Line = lines_;
    byName_[expected.Sum.Name].push_back(expected_.size());
    expected_.push_back(std::move(expected));
    return kind;
}

void ChecksumList::AddText(std::string_view text,
                           const std::function<void(std::uint64_t)>& malformed) {
    for (std::size_t end; (end = text.find('\n')) != std::string_view::npos;
         text.remove_prefix(end + 1)) {
        const std::string_view line = text.substr(0, end);
        const bool whole = pending_.empty();
        if (!whole)
            pending_.append(line);
        if (Add(whole ? line : std::string_view(pending_)) == ListLine::Malformed)
            malformed(lines_);
        pending_.clear();
    }
    pending_.append(text);
}

void ChecksumList::End(const std::function<void(std::uint64_t)>& malformed) {
    if (!pending_.empty() && Add(pending_) == ListLine::Malformed)
        malformed(lines_);
    pending_.clear();
}

OpenError ReadChecksumList(const std::filesystem::path& path, ChecksumList& list,
                           const std::function<void(std::uint64_t line)>& malformed) {
    const Archive file(path); // a regular file opened for reading, as an archive is
    OpenError error = file.Error();
    error.Of = OpenError::Subject::List;
    if (error)
        return error;
    std::vector<char> buffer(1u << 16);
    for (std::uint64_t at = 0;;) {
        const std::size_t got = file.ReadAt(buffer.data(), buffer.size(), at, error.Error);
        if (error.Error) {
            error.What = OpenError::Kind::Unreadable;
            return error;
        }
        if (got == 0)
            break;
        list.AddText({buffer.data(), got}, malformed);
        at += got;
    }
    list.End(malformed);
    return error;
}

std::string Describe(const VerifyFinding& finding) {
    switch (finding.What) {
    case VerifyFinding::Kind::Ok:
        return finding.Name + ": OK";
    case VerifyFinding::Kind::Failed:
        return finding.Name + ": FAILED";
    case VerifyFinding::Kind::Missing:
        return finding.Name + ": missing";
    case VerifyFinding::Kind::NotListed:
        break;
    }
    return finding.Name + ": not listed";
}

std::string NotAChecksumLine(std::string_view list, std::uint64_t line) {
    return std::string(list) + ':' + std::to_string(line) + ": not a checksum line";
}

std::string Describe(const VerifyReport& r) {
    return std::to_string(r.Ok) + " OK, " + std::to_string(r.Failed) + " failed, " +
           std::to_string(r.Missing) + " missing, " + std::to_string(r.NotListed) + " not listed";
}

// Which line stands for each entry: the n-th of its name.
struct Verifier {
    ChecksumList& List;
    std::unordered_map<std::string_view, std::size_t> Seen; // entries of listed names so far

    ChecksumList::Expected* For(std::string_view name) {
        const auto lines = List.byName_.find(std::string(name));
        if (lines == List.byName_.end())
            return nullptr;
        std::size_t& n = Seen[lines->first];
        return n < lines->second.size() ? &List.expected_[lines->second[n++]] : nullptr;
    }

    // The lines no entry was checked against, in list order.
    void Missing(const std::function<void(const VerifyFinding&)>& found, VerifyReport& report) {
        for (const ChecksumList::Expected& expected : List.expected_)
            if (!expected.Checked) {
                ++report.Missing;
                found({VerifyFinding::Kind::Missing, expected.Sum.Name, -1, expected.Line, {}});
            }
    }
};

VerifyReport VerifyArchive(const Archive& archive, ChecksumList& list,
                           const std::function<void(const VerifyFinding&)>& found,
                           const VerifyOptions& options) {
    using Kind = VerifyFinding::Kind;
    using Clock = std::chrono::steady_clock;
    VerifyReport report;
    ExtractProgress progress;
    if (options.OnProgress) { // the totals, from a first walk of the directory
        Verifier totals{list, {}};
        archive.WalkDirectory(
            [&](int, const ArchiveEntry& e) {
                if (totals.For(e.Name)) {
                    ++progress.EntryCount;
                    progress.TotalBytes += PresentBytes(e, archive.Size());
                }
                return true;
            },
            report.ReadError);
        report.ReadError.clear(); // the walk below meets it again
    }

    Verifier verifier{list, {}};
    EntryDigester digester(archive);
    std::optional<Digest> digests[4];
    std::string digest;
    Clock::time_point lastProgress = Clock::now();
    const auto tell = [&](std::uint64_t bytesInEntry) {
        ExtractProgress now = progress;
        now.BytesDone += bytesInEntry;
        options.OnProgress(now);
        lastProgress = Clock::now();
    };
    archive.WalkDirectory(
        [&](int k, const ArchiveEntry& e) {
            if (options.Stop.stop_requested()) {
                report.Cancelled = true;
                return false;
            }
            VerifyFinding f{Kind::NotListed, e.Name, k, 0, {}};
            auto* expected = verifier.For(e.Name);
            if (!expected) {
                ++report.NotListed;
                found(f);
                return true;
            }
            expected->Checked = true;
            f.Line = expected->Line;
            std::optional<Digest>& d = digests[static_cast<int>(expected->Sum.Of)];
            if (!d)
                d.emplace(expected->Sum.Of);
            progress.Position = k;
            progress.Name = e.Name;
            const EntryResult read = digester.Read(k, e, *d, digest, [&](std::uint64_t done) {
                if (options.Stop.stop_requested())
                    return false;
                if (options.OnProgress && Clock::now() - lastProgress >= ProgressEvery)
                    tell(done);
                return true;
            });
            if (read.Result == EntryResult::Kind::Cancelled) {
                report.Cancelled = true;
                return false;
            }
            f.What = digest == expected->Sum.Digest ? Kind::Ok : Kind::Failed;
            if (read.Result != EntryResult::Kind::Written)
                f.Unreadable = read;
            ++(f.What == Kind::Ok ? report.Ok : report.Failed);
            found(f);
            ++progress.EntriesDone;
            progress.BytesDone += PresentBytes(e, archive.Size());
            if (options.OnProgress)
                tell(0);
            return true;
        },
        report.ReadError);
    if (report.Cancelled || report.ReadError)
        return report;
    verifier.Missing(found, report);
    return report;
}

} // namespace archive
