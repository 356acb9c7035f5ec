// Extraction of arbitrary bytes with every listed entry selected. Nothing may appear outside the
// output folder; inside it only plain files named after entries that were written, no
// temporary file, and each holding as many bytes as reported for the last entry of its name.
// Walking the directory while extracting, with results delivered one by one, reports the same.

#include "FuzzSupport.h"
#include "archive/Directory.h"
#include "archive/Extract.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <numeric>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using Kind = archive::EntryResult::Kind;
    // scratch/jail/{archive.dat, out}: an entry that escaped out/ by one or two levels would
    // show up in jail/ or in scratch/.
    const fs::path jail = fuzz::ScratchFolder() / "jail";
    const fs::path archivePath = jail / "archive.dat", out = jail / "out";
    fs::remove_all(jail);
    fs::create_directories(out);
    fuzz::WriteFile(archivePath, std::string_view(reinterpret_cast<const char*>(data), size));

    const archive::Directory dir = archive::ReadDirectory(archivePath);
    const int count = static_cast<int>(dir.Entries.size());
    std::vector<int> positions(dir.Entries.size());
    std::iota(positions.begin(), positions.end(), 0);
    const archive::ExtractReport report =
        archive::ExtractEntries(archivePath, out, positions, count);

    fuzz::Check(!report.ArchiveError && !report.FolderError, "the archive could not be opened");
    fuzz::Check(report.Entries.size() == positions.size(), "not every entry was reported");
    std::map<std::string, std::uint64_t> expected; // the last written entry of each name wins
    for (const auto& e : report.Entries) {
        fuzz::Check(archive::Describe(e).empty() == (e.Result == Kind::Written),
                    "a reason is missing or given for a whole entry");
        if (e.Result == Kind::Written || e.Result == Kind::CutShort ||
            e.Result == Kind::ReplacedByLater)
            expected[e.Name] = e.BytesWritten;
    }

    // The same extraction again, walking the directory, with results as they come; a second
    // result for a position is its file being replaced later.
    const fs::path again = jail / "again";
    fs::create_directories(again);
    std::map<int, Kind> kinds;
    archive::ExtractOptions options;
    options.OnResult = [&](const archive::EntryResult& e) { kinds[e.Position] = e.Result; };
    const archive::ExtractReport walked =
        archive::ExtractEveryEntry(archive::Archive(archivePath), again, options);
    fuzz::Check(walked.EntryCount == report.Entries.size() && walked.Entries.empty(),
                "the walk reported another number of entries");
    for (const auto& e : report.Entries)
        fuzz::Check(kinds[e.Position] == e.Result, "the walk reported another result");
    fuzz::Check(walked.AllWritten() == report.AllWritten(), "the walk's summary differs");
    fs::remove_all(again);

    fuzz::Check(fuzz::Contents(fuzz::ScratchFolder()) == std::vector<std::string>{"jail"},
                "something appeared beside the archive's folder");
    fuzz::Check(fuzz::Contents(jail) == std::vector<std::string>{"archive.dat", "out"},
                "something appeared beside the output folder");
    std::map<std::string, std::uint64_t> found;
    for (const auto& entry : fs::directory_iterator(out)) {
        fuzz::Check(entry.is_regular_file() && !entry.is_symlink(), "not a plain file in out/");
        found[entry.path().filename().string()] = entry.file_size();
    }
    fuzz::Check(found == expected, "the files in out/ are not the written entries");
    return 0;
}
