#include "archive/Check.h"

#include "archive/ArchiveEntry.h"
#include "archive/Names.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace archive {

namespace {

// An entry as the checks across entries need it: its name and its data range.
struct Named {
    std::array<char, NameSize> Name; // NUL-padded
    std::int32_t Position;

    std::string_view View() const { return CutName({Name.data(), Name.size()}); }
    std::string Folded; // the name as a folder that folds case compares it (FoldCase)
};
struct Range {
    std::int32_t Offset, Size, Position;
    std::int64_t End() const { return std::int64_t{Offset} + Size; }
};

class Checker {
public:
    Checker(const std::function<void(const Finding&)>& found, CheckReport& report)
        : found_(found), report_(report) {}

    void Report(Finding::Kind kind, int position, std::string_view name, std::string text) {
        ++(kind == Finding::Kind::Problem ? report_.Problems : report_.Notes);
        found_({kind, position, std::string(name), std::move(text)});
    }
    void Problem(int k, std::string_view name, std::string text) {
        Report(Finding::Kind::Problem, k, name, std::move(text));
    }

    // The findings of one entry on its own; keeps its name and range for the rest.
    void Entry(int k, const ArchiveEntry& e, std::uint64_t archiveSize) {
        if (!e.Complete)
            Problem(k, e.Name, "its directory record is cut short by the end of the archive");
        if (e.Offset < 0)
            Problem(k, e.Name, "negative offset " + std::to_string(e.Offset));
        if (e.Size < 0)
            Problem(k, e.Name, "negative size " + std::to_string(e.Size));
        if (e.Offset >= 0 && e.Size >= 0 &&
            static_cast<std::uint64_t>(e.Offset) + static_cast<std::uint64_t>(e.Size) > archiveSize)
            Problem(k, e.Name,
                    "data past the end of the archive (ends at byte " +
                        std::to_string(std::int64_t{e.Offset} + e.Size) + " of " +
                        std::to_string(archiveSize) + ")");
        if (const NameProblem here = UnsafeName(e.Name, false); here != NameProblem::None)
            Problem(k, e.Name, Describe(here));
        else if (const NameProblem windows = UnsafeName(e.Name, true); windows != NameProblem::None)
            Problem(k, e.Name, Describe(windows) + " on Windows");

        Named named{};
        std::memcpy(named.Name.data(), e.Name.data(), e.Name.size());
        named.Position = k;
        named.Folded = FoldCase(e.Name);
        names_.push_back(std::move(named));
        if (e.Offset >= 0 && e.Size > 0)
            ranges_.push_back({e.Offset, e.Size, k});
    }

    // Names that another entry has, the same or when case is folded: each is reported
    // against the first entry of that name.
    void Collisions() {
        std::sort(names_.begin(), names_.end(), [](const Named& a, const Named& b) {
            if (a.Folded != b.Folded)
                return a.Folded < b.Folded;
            return a.Name != b.Name ? a.Name < b.Name : a.Position < b.Position;
        });
        for (std::size_t group = 0; group < names_.size();) {
            const std::string& folded = names_[group].Folded;
            std::size_t end = group;
            std::int32_t first = names_[group].Position;
            while (end < names_.size() && names_[end].Folded == folded)
                first = std::min(first, names_[end++].Position);
            // Sorted so, the first of each run of one name is its first entry.
            for (std::size_t i = group, same = group; i < end; ++i) {
                const Named& n = names_[i];
                if (n.Name != names_[same].Name)
                    same = i;
                if (same != i)
                    Problem(n.Position, n.View(),
                            "the same name as entry " + std::to_string(names_[same].Position));
                else if (n.Position != first)
                    Problem(n.Position, n.View(),
                            "the same name as entry " + std::to_string(first) +
                                " when case is folded");
            }
            group = end;
        }
        names_ = {};
    }

    // Data that shares bytes with the directory (its records and the record that ends it)
    // or with the data of an entry that starts before it or at the same byte. Comes before
    // Collisions, while the names are still in directory order.
    void Overlaps(std::uint64_t archiveSize) {
        const auto directoryEnd = static_cast<std::int64_t>(
            std::min<std::uint64_t>((names_.size() + 1) * RecordSize, archiveSize));
        std::sort(ranges_.begin(), ranges_.end(), [](const Range& a, const Range& b) {
            return a.Offset != b.Offset ? a.Offset < b.Offset : a.Position < b.Position;
        });
        const Range* reaching = nullptr; // of the ranges so far, the one that ends last
        for (const Range& r : ranges_) {
            const std::string_view name = names_[static_cast<std::size_t>(r.Position)].View();
            if (r.Offset < directoryEnd)
                Report(Finding::Kind::Note, r.Position, name, "its data overlaps the directory");
            else if (reaching && r.Offset < reaching->End())
                Report(Finding::Kind::Note, r.Position, name,
                       "its data overlaps that of entry " + std::to_string(reaching->Position));
            if (!reaching || r.End() > reaching->End())
                reaching = &r;
        }
        ranges_ = {};
    }

private:
    const std::function<void(const Finding&)>& found_;
    CheckReport& report_;
    std::vector<Named> names_;
    std::vector<Range> ranges_;
};

} // namespace

CheckReport CheckArchive(const Archive& archive, const std::function<void(const Finding&)>& found) {
    CheckReport report;
    Checker checker(found, report);
    report.Entries = archive.WalkDirectory(
        [&](int k, const ArchiveEntry& e) {
            checker.Entry(k, e, archive.Size());
            return true;
        },
        report.ReadError);
    if (!report.ReadError) {
        checker.Overlaps(archive.Size());
        checker.Collisions();
    }
    return report;
}

} // namespace archive
