// extract [-k] [-v] [-i] [--exclude PATTERN]... ARCHIVE FOLDER [ENTRY...]: entries into files.

#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Platform.h"

namespace cli {

int Extract(const Flags& flags, const Operands& operands) {
    if (operands.size() < 2)
        throw UsageError{"extract takes ARCHIVE and FOLDER"};
    const std::string& path = operands[0];
    EntrySelection selection = Selection({operands.begin() + 2, operands.end()}, flags);
    // One open file for resolving the operands and for extracting, so that a file put in the
    // archive's place meanwhile is never read.
    archive::Archive archive;
    if (!Open(path, archive))
        return 2;
    std::error_code ec;
    const int unmatched = Resolve(archive, selection, ec);
    if (ec)
        return ReadFailed(path, ec);
    const archive::ExtractReport report =
        ExtractSelected(archive, PathArgument(operands[1]), selection, flags);
    if (report.FolderError) {
        Complain(operands[1], archive::Describe(report.FolderError));
        return 2;
    }
    if (report.ArchiveError) // the archive is open: reading it failed on the way
        Complain(path, archive::Describe(report.ArchiveError));
    return report.AllWritten() ? unmatched : 1;
}

} // namespace cli
