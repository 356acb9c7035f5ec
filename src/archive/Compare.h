#pragma once

// Two versions of an archive compared entry by entry: the entries are matched by name (the
// n-th entry of a name in one with the n-th of that name in the other) and the matched ones
// compared by their bytes. Where the data lies (offsets, gaps, the layout) is no difference.

#include "archive/Archive.h"
#include "archive/Extract.h"

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>

namespace archive {

struct Difference {
    enum class Kind {
        Added,   // only in the newer archive
        Removed, // only in the older one
        Changed, // other bytes
        Moved,   // its order among the other matched entries changed
    };
    Kind What = Kind::Added;
    std::string Name;
    int OldPosition = -1, NewPosition = -1; // -1 where the entry is not
    std::int32_t OldSize = 0, NewSize = 0;
};

// "added NAME", "removed NAME", "changed NAME (S1 -> S2 bytes)", "moved NAME (position K ->
// L)" (not escaped).
std::string Describe(const Difference& difference);

struct CompareReport {
    // Why an archive could not be opened or its directory read: nothing was compared.
    OpenError OldError, NewError;
    std::uint64_t Added = 0, Removed = 0, Changed = 0, Moved = 0;
    // Matched entries whose data could not be read whole, so that it was not compared.
    std::uint64_t Problems = 0;
    bool Cancelled = false;

    std::uint64_t Differences() const { return Added + Removed + Changed + Moved; }
};

struct CompareOptions {
    std::stop_token Stop;
    // After each pair of entries compared, and at most every 50 ms inside large ones; the
    // totals are the pairs of equal size and the bytes of both.
    std::function<void(const ExtractProgress&)> OnProgress;
};

// Compares `older` with `newer`. Each difference goes to `found` as it is known: the removed
// entries in the older archive's order, then the newer archive's entries in its order, each
// added, changed, moved (or changed, then moved). The moved ones are as few as the change
// allows: those outside a longest common run of the matched entries' order. A matched entry
// that cannot be read whole goes to `unreadable` (with `inNewer` telling which archive's) and
// is not compared. Memory holds the two directories (about 30 bytes an entry), never data.
CompareReport
CompareArchives(const Archive& older, const Archive& newer,
                const std::function<void(const Difference&)>& found,
                const std::function<void(const EntryResult&, bool inNewer)>& unreadable,
                const CompareOptions& options = {});

} // namespace archive
