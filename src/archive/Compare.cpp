#include "archive/Compare.h"

#include "archive/ArchiveEntry.h"
#include "archive/Directory.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <numeric>
#include <optional>
#include <vector>

namespace archive {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t BufferSize = 1u << 20;
constexpr auto ProgressEvery = std::chrono::milliseconds(50);

// For each entry of `from`, the entry of `to` it is matched with, or -1: the n-th of a name
// with the n-th of that name. Both are sorted by name (then position) and walked together.
void Match(const EntryList& from, const EntryList& to, std::vector<std::int32_t>& fromMatch,
           std::vector<std::int32_t>& toMatch) {
    const auto byName = [](const EntryList& list) {
        std::vector<std::int32_t> order(list.size());
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
            const int c = list.Name(std::size_t(a)).compare(list.Name(std::size_t(b)));
            return c < 0 || (c == 0 && a < b);
        });
        return order;
    };
    fromMatch.assign(from.size(), -1);
    toMatch.assign(to.size(), -1);
    const std::vector<std::int32_t> a = byName(from), b = byName(to);
    for (std::size_t i = 0, j = 0; i < a.size() && j < b.size();) {
        const int c = from.Name(std::size_t(a[i])).compare(to.Name(std::size_t(b[j])));
        if (c == 0) {
            fromMatch[std::size_t(a[i])] = b[j];
            toMatch[std::size_t(b[j])] = a[i];
        }
        i += c <= 0;
        j += c >= 0;
    }
}

// The matched entries of the older archive that keep their order: a longest increasing run of
// their positions in the newer one, taken in the older one's order. The others have moved.
std::vector<bool> KeptInOrder(const std::vector<std::int32_t>& match) {
    std::vector<std::int32_t> tails, before(match.size(), -1);
    for (std::size_t k = 0; k < match.size(); ++k) {
        if (match[k] < 0)
            continue;
        const auto at = std::lower_bound(
            tails.begin(), tails.end(), match[k],
            [&](std::int32_t t, std::int32_t v) { return match[std::size_t(t)] < v; });
        before[k] = at == tails.begin() ? -1 : *(at - 1);
        if (at == tails.end())
            tails.push_back(std::int32_t(k));
        else
            *at = std::int32_t(k);
    }
    std::vector<bool> kept(match.size(), false);
    for (std::int32_t k = tails.empty() ? -1 : tails.back(); k >= 0; k = before[std::size_t(k)])
        kept[std::size_t(k)] = true;
    return kept;
}

class Comparer {
public:
    Comparer(const Archive& older, const Archive& newer, const CompareOptions& options,
             CompareReport& report)
        : older_(older), newer_(newer), options_(options), report_(report),
          a_(std::make_unique_for_overwrite<char[]>(BufferSize)),
          b_(std::make_unique_for_overwrite<char[]>(BufferSize)) {}

    // Whether an entry's data can be read whole; otherwise why not.
    static std::optional<EntryResult> Unreadable(const Archive& archive, int k,
                                                 const ArchiveEntry& e) {
        EntryResult r;
        r.Position = k;
        r.Name = e.Name;
        r.Offset = e.Offset;
        r.Size = e.Size;
        r.Result = RecordReadable(e);
        if (r.Result == EntryResult::Kind::Written &&
            PresentBytes(e, archive.Size()) < static_cast<std::uint64_t>(e.Size)) {
            r.Result = EntryResult::Kind::CutShort;
            r.BytesWritten = PresentBytes(e, archive.Size());
        }
        if (r.Result == EntryResult::Kind::Written)
            return std::nullopt;
        return r;
    }

    void SetTotals(std::uint64_t pairs, std::uint64_t bytes) {
        progress_.EntryCount = pairs;
        progress_.TotalBytes = bytes;
    }

    // Whether two entries of one size hold the same bytes; a failure to read either sets
    // `failed` (and which archive) instead. False too when stopped (report_.Cancelled).
    bool Same(int k, const ArchiveEntry& a, int l, const ArchiveEntry& b,
              std::optional<EntryResult>& failed, bool& inNewer) {
        progress_.Position = l;
        progress_.Name = b.Name;
        const auto size = static_cast<std::uint64_t>(a.Size);
        bool same = true;
        for (std::uint64_t done = 0; done < size && same;) {
            if (options_.Stop.stop_requested()) {
                report_.Cancelled = true;
                return false;
            }
            const auto want =
                static_cast<std::size_t>(std::min<std::uint64_t>(size - done, BufferSize));
            std::error_code ec;
            for (const bool second : {false, true}) {
                const Archive& archive = second ? newer_ : older_;
                const ArchiveEntry& e = second ? b : a;
                const std::size_t got =
                    archive.ReadAt(second ? b_.get() : a_.get(), want,
                                   static_cast<std::uint64_t>(e.Offset) + done, ec);
                if (ec || got < want) { // a failure, or the file has shrunk since it was opened
                    failed = EntryResult{second ? l : k,
                                         e.Name,
                                         ec ? EntryResult::Kind::ReadFailed
                                            : EntryResult::Kind::CutShort,
                                         ec,
                                         e.Offset,
                                         e.Size,
                                         done + got};
                    inNewer = second;
                    return false;
                }
            }
            same = std::memcmp(a_.get(), b_.get(), want) == 0;
            done += want;
            if (options_.OnProgress && Clock::now() - lastProgress_ >= ProgressEvery)
                Tell(2 * done);
        }
        return same;
    }

    void PairDone(std::uint64_t bytes) {
        ++progress_.EntriesDone;
        progress_.BytesDone += bytes;
        if (options_.OnProgress)
            Tell(0);
    }

private:
    void Tell(std::uint64_t bytesInPair) {
        ExtractProgress now = progress_;
        now.BytesDone += bytesInPair;
        options_.OnProgress(now);
        lastProgress_ = Clock::now();
    }

    const Archive &older_, &newer_;
    const CompareOptions& options_;
    CompareReport& report_;
    std::unique_ptr<char[]> a_, b_;
    ExtractProgress progress_;
    Clock::time_point lastProgress_ = Clock::now();
};

} // namespace

std::string Describe(const Difference& d) {
    switch (d.What) {
    case Difference::Kind::Added:
        return "added " + d.Name;
    case Difference::Kind::Removed:
        return "removed " + d.Name;
    case Difference::Kind::Changed:
        return "changed " + d.Name + " (" + std::to_string(d.OldSize) + " -> " +
               std::to_string(d.NewSize) + " bytes)";
    case Difference::Kind::Moved:
        break;
    }
    return "moved " + d.Name + " (position " + std::to_string(d.OldPosition) + " -> " +
           std::to_string(d.NewPosition) + ")";
}

CompareReport
CompareArchives(const Archive& older, const Archive& newer,
                const std::function<void(const Difference&)>& found,
                const std::function<void(const EntryResult&, bool inNewer)>& unreadable,
                const CompareOptions& options) {
    using Kind = Difference::Kind;
    CompareReport report;
    const Directory before = ReadDirectory(older), after = ReadDirectory(newer);
    report.OldError = before.Error;
    report.NewError = after.Error;
    if (report.OldError || report.NewError)
        return report;
    const EntryList &a = before.Entries, &b = after.Entries;
    std::vector<std::int32_t> aMatch, bMatch;
    Match(a, b, aMatch, bMatch);
    const std::vector<bool> kept = KeptInOrder(aMatch);

    Comparer comparer(older, newer, options, report);
    if (options.OnProgress) {
        std::uint64_t pairs = 0, bytes = 0;
        for (std::size_t l = 0; l < b.size(); ++l)
            if (bMatch[l] >= 0) {
                const ArchiveEntry x = a[std::size_t(bMatch[l])], y = b[l];
                ++pairs;
                bytes += x.Size == y.Size && x.Size > 0 ? 2 * std::uint64_t(x.Size) : 0;
            }
        comparer.SetTotals(pairs, bytes);
    }

    for (std::size_t k = 0; k < a.size(); ++k)
        if (aMatch[k] < 0) {
            const ArchiveEntry e = a[k];
            ++report.Removed;
            found({Kind::Removed, e.Name, int(k), -1, e.Size, 0});
        }
    for (std::size_t l = 0; l < b.size() && !report.Cancelled; ++l) {
        const ArchiveEntry y = b[l];
        if (bMatch[l] < 0) {
            ++report.Added;
            found({Kind::Added, y.Name, -1, int(l), 0, y.Size});
            continue;
        }
        const std::size_t k = std::size_t(bMatch[l]);
        const ArchiveEntry x = a[k];
        const Difference pair{Kind::Changed, y.Name, int(k), int(l), x.Size, y.Size};
        std::optional<EntryResult> failed = Comparer::Unreadable(older, int(k), x);
        bool inNewer = false;
        if (!failed && (failed = Comparer::Unreadable(newer, int(l), y)))
            inNewer = true;
        const bool same =
            !failed && x.Size == y.Size && comparer.Same(int(k), x, int(l), y, failed, inNewer);
        if (report.Cancelled)
            break;
        if (failed) {
            ++report.Problems;
            unreadable(*failed, inNewer);
        } else if (!same) {
            ++report.Changed;
            found(pair);
        }
        if (!kept[k]) {
            ++report.Moved;
            found({Kind::Moved, y.Name, int(k), int(l), x.Size, y.Size});
        }
        comparer.PairDone(x.Size == y.Size && !failed ? 2 * std::uint64_t(y.Size) : 0);
    }
    return report;
}

} // namespace archive
