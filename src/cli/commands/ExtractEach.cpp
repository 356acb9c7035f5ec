// extract-each [-k] [-v] [-i] [--exclude PATTERN]... FOLDER ARCHIVE...: each archive into a
// folder of its own, FOLDER/STEM.

#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Platform.h"

#include "archive/Names.h"

#include <algorithm>
#include <set>

namespace cli {

namespace {

namespace fs = std::filesystem;

// Between FOLDER and STEM, as the platform writes paths.
constexpr char Separator = static_cast<char>(fs::path::preferred_separator);

// The folder of one archive: FOLDER/STEM, or when an earlier archive of this run took that
// name, or something other than a folder has it, the first of STEM-2, STEM-3 ... that is free
// so. A stem of ".", ".." or nothing names FOLDER or the folder above it, never a folder of its
// own: it starts at STEM-2 (".-2", "..-2", "-2"). `taken` holds the names used so far, case
// folded.
std::string EachFolderName(const fs::path& folder, const std::string& stem,
                           std::set<std::string>& taken) {
    const bool notAFolderName = stem.empty() || stem == "." || stem == "..";
    for (int n = notAFolderName ? 2 : 1;; ++n) {
        const std::string name = n == 1 ? stem : stem + "-" + std::to_string(n);
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(folder / PathArgument(name), ec);
        std::string folded = archive::FoldCase(name);
        if (!taken.contains(folded) && (!fs::exists(status) || fs::is_directory(status))) {
            taken.insert(std::move(folded));
            return name;
        }
    }
}

} // namespace

int ExtractEach(const Flags& flags, const Operands& operands) {
    if (operands.size() < 2)
        throw UsageError{"extract-each takes FOLDER and ARCHIVE..."};
    const fs::path folder = PathArgument(operands[0]);
    std::error_code ec;
    fs::create_directories(folder, ec); // a folder that cannot be made is reported below
    const EntrySelection every = Selection({}, flags);
    std::set<std::string> taken;
    int status = 0;
    for (auto path = operands.begin() + 1; path != operands.end(); ++path) {
        archive::Archive archive;
        if (!Open(*path, archive)) {
            status = 2;
            continue;
        }
        const std::u8string stem8 = PathArgument(*path).filename().stem().u8string();
        const std::string stem(stem8.begin(), stem8.end());
        const std::string name = operands[0] + Separator + EachFolderName(folder, stem, taken);
        fs::create_directory(PathArgument(name), ec);
        const archive::ExtractReport report =
            ExtractSelected(archive, PathArgument(name), every, flags);
        if (report.FolderError) {
            Complain(name, archive::Describe(report.FolderError));
            status = 2;
            continue;
        }
        if (report.ArchiveError)
            Complain(*path, archive::Describe(report.ArchiveError));
        Complain(*path, Count(report.EntryCount, "entry", "entries") + " into " + name + ", " +
                            Count(report.Problems, "problem", "problems"));
        status = std::max(status, report.AllWritten() ? 0 : 1);
    }
    return status;
}

} // namespace cli
