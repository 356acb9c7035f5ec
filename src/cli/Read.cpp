// What the read commands share: opening the archive, the ENTRY operands, extraction.

#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Platform.h"

#include "archive/Escape.h"
#include "archive/Signals.h"

namespace cli {

bool Open(const std::string& path, archive::Archive& archive) {
    archive = archive::Archive(PathArgument(path));
    if (!archive.IsOpen())
        Complain(path, archive::Describe(archive.Error()));
    return archive.IsOpen();
}

int ReadFailed(const std::string& path, std::error_code ec) {
    Complain(path, archive::Describe(archive::OpenError{archive::OpenError::Kind::Unreadable,
                                                        archive::OpenError::Subject::Archive, ec}));
    return 1;
}

EntrySelection Selection(const Operands& entries, const Flags& flags) {
    std::vector<std::string> bytes;
    for (const std::string& entry : entries)
        bytes.push_back(!entry.empty() && entry[0] >= '0' && entry[0] <= '9'
                            ? entry
                            : EntryNameArgument(entry));
    return EntrySelection(entries, bytes, flags.Rules);
}

int Resolve(const archive::Archive& archive, EntrySelection& selection, std::error_code& ec) {
    if (!selection.Every())
        selection.Resolve(archive, ec);
    const std::vector<std::string> unmatched =
        ec ? std::vector<std::string>() : selection.Unmatched();
    for (const std::string& entry : unmatched)
        Complain(entry, "no entry matches");
    return unmatched.empty() ? 0 : 1;
}

void ChangedSinceListed(const std::string& entry) {
    archive::EntryResult changed;
    changed.Result = archive::EntryResult::Kind::ArchiveChanged;
    Complain(entry, archive::Describe(changed));
}

void Verbose(const Flags& flags, std::string_view name) {
    if (flags.Verbose)
        Print(stderr, archive::Escaped(archive::NameText(name)) + "\n");
}

archive::ExtractReport ExtractSelected(const archive::Archive& archive,
                                       const std::filesystem::path& folder,
                                       const EntrySelection& selection, const Flags& flags) {
    archive::ExtractOptions extract;
    extract.KeepExisting = flags.KeepExisting;
    extract.ListedNames = selection.ListedNames();
    extract.OnResult = [&](const archive::EntryResult& e) {
        using Kind = archive::EntryResult::Kind;
        if (e.Result == Kind::Written || e.Result == Kind::CutShort)
            Verbose(flags, e.Name);
        if (e.Result != Kind::Written && e.Result != Kind::NotOpened)
            Complain(e.Name.empty() ? "entry " + std::to_string(e.Position) : archive::NameText(e.Name),
                     archive::Describe(e));
    };
    // The name and pattern operands that match an entry as the directory is walked again: one
    // that matched when resolved and matches nothing now went with a change of the archive.
    std::vector<bool> found(selection.Size());
    std::size_t unfound = 0;
    for (std::size_t i = 0; i < selection.Size(); ++i)
        unfound += selection.MatchedByName(i);
    archive::NameFilter byName = selection.ByName();
    if (byName && unfound > 0)
        byName = [&, filter = std::move(byName)](std::string_view name) {
            for (std::size_t i = 0; unfound > 0 && i < found.size(); ++i)
                if (!found[i] && selection.MatchedByName(i) && selection.Picks(i, -1, name)) {
                    found[i] = true;
                    --unfound;
                }
            return filter(name);
        };
    archive::RemovePartialFileOnSignals();
    archive::ExtractReport report = archive::ExtractEntries(
        archive, folder, selection.Positions(), byName,
        selection.Every() ? static_cast<int>(archive::MaxRecords) : selection.Count(), extract);
    if (report.FolderError || report.ArchiveError || unfound == 0)
        return report;
    for (std::size_t i = 0; i < found.size(); ++i)
        if (!found[i] && selection.MatchedByName(i)) {
            ++report.Problems;
            ChangedSinceListed(selection.Given(i));
        }
    return report;
}

} // namespace cli
