// cat [-v] [-i] [--exclude PATTERN]... ARCHIVE ENTRY...: the entries' data on standard output,
// in the order given.

#include "cli/Commands.h"
#include "cli/Output.h"

#include "archive/Escape.h"

#include <algorithm>

namespace cli {

namespace {

// Writes one entry's data to the output; reports a problem as extract does. 1 then.
int CatEntry(const archive::Archive& archive, int k, const archive::ArchiveEntry& entry,
             const Flags& flags, Output& output) {
    using Kind = archive::EntryResult::Kind;
    archive::EntryResult e;
    e.Position = k;
    e.Name = entry.Name;
    e.Offset = entry.Offset;
    e.Size = entry.Size;
    e.Result = archive::RecordReadable(entry);
    if (e.Result == Kind::Written) {
        Verbose(flags, e.Name);
        static std::vector<char> buffer(1u << 20);
        for (auto left = static_cast<std::uint64_t>(e.Size); left > 0 && output.Ok();) {
            const auto want =
                static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
            const std::size_t got =
                archive.ReadAt(buffer.data(), want,
                               static_cast<std::uint64_t>(e.Offset) + e.BytesWritten, e.Error);
            if (e.Error) {
                e.Result = Kind::ReadFailed;
                break;
            }
            output.Write({buffer.data(), got});
            e.BytesWritten += got;
            left -= got;
            if (got < want)
                break;
        }
        if (e.Result == Kind::Written && e.BytesWritten < static_cast<std::uint64_t>(e.Size))
            e.Result = Kind::CutShort;
    }
    if (e.Result == Kind::Written || !output.Ok())
        return 0;
    Complain(archive::NameText(e.Name), archive::Describe(e));
    return 1;
}

} // namespace

int Cat(const Flags& flags, const Operands& operands) {
    if (operands.size() < 2)
        throw UsageError{"cat takes ARCHIVE and ENTRY..."};
    const std::string& path = operands[0];
    EntrySelection selection = Selection({operands.begin() + 1, operands.end()}, flags);
    archive::Archive archive;
    if (!Open(path, archive))
        return 2;
    std::error_code ec;
    int status = Resolve(archive, selection, ec);
    Output output(Encoding::Data);
    // In the order given: one walk of the directory for each operand, so nothing is kept for
    // the entries it picks.
    for (std::size_t i = 0; i < selection.Size() && !ec && output.Ok(); ++i) {
        const std::int64_t position = selection.Position(i);
        bool found = false;
        archive.WalkDirectory(
            [&](int k, const archive::ArchiveEntry& e) {
                if (position >= 0 && k > position)
                    return false;
                if (!selection.Picks(i, k, e.Name))
                    return true;
                found = true;
                if (!selection.Excluded(e.Name))
                    status = std::max(status, CatEntry(archive, k, e, flags, output));
                return output.Ok();
            },
            ec);
        // A name that matched when resolved and matches nothing now: the archive changed.
        if (!found && !ec && selection.MatchedByName(i)) {
            ChangedSinceListed(selection.Given(i));
            status = 1;
        }
    }
    status = std::max(status, output.Finish());
    return ec ? ReadFailed(path, ec) : status;
}

} // namespace cli
