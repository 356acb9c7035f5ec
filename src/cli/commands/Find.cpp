// find [-i] [-v] [--json] PATTERN PATH...: the entries of that name in archives and folders of
// archives.

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "cli/Platform.h"

#include "archive/Check.h"
#include "archive/Names.h"
#include "archive/Pattern.h"

#include <algorithm>

namespace cli {

namespace {

namespace fs = std::filesystem;

class Finder {
public:
    Finder(const Flags& flags, const std::string& pattern)
        : flags_(flags), fold_(flags.Rules.IgnoreCase), isPattern_(archive::IsPattern(pattern)),
          pattern_(fold_ && !isPattern_ ? archive::FoldCase(pattern) : pattern) {}

    bool Matched() const { return matched_; }
    bool Trouble() const { return trouble_; }
    Output& Out() { return output_; }

    // A PATH operand: a folder is searched through, anything else read as an archive.
    void Operand(const std::string& path) {
        std::error_code ec;
        if (fs::is_directory(PathArgument(path), ec))
            Folder(path, PathArgument(path));
        else
            File(path, PathArgument(path));
    }

private:
    bool Matches(std::string_view name) const {
        if (isPattern_)
            return archive::MatchesPattern(pattern_, name, fold_);
        return fold_ ? archive::FoldCase(std::string(name)) == pattern_ : name == pattern_;
    }

    // The folder's files and folders in the order of their names' bytes, folders searched as
    // they come; symbolic links are never followed.
    void Folder(const std::string& text, const fs::path& folder) {
        std::error_code ec;
        std::vector<std::pair<std::string, fs::file_type>> items;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::u8string name = it->path().filename().u8string();
            items.emplace_back(std::string(name.begin(), name.end()),
                               it->symlink_status(ec).type());
        }
        if (ec) {
            const bool denied = ec == std::errc::permission_denied;
            Problem(text, archive::Describe({denied ? archive::OpenError::Kind::PermissionDenied
                                                    : archive::OpenError::Kind::Unreadable,
                                             archive::OpenError::Subject::OutputFolder, ec}));
            return;
        }
        std::sort(items.begin(), items.end());
        const bool separated =
            !text.empty() &&
            (text.back() == '/' || (archive::WindowsNameRules && text.back() == '\\'));
        for (const auto& [name, type] : items) {
            const std::string path = text + (separated ? "" : "/") + name;
            if (type == fs::file_type::directory)
                Folder(path, PathArgument(path));
            else if (type == fs::file_type::regular)
                File(path, PathArgument(path));
        }
    }

    // An archive's matching entries; a file whose directory check finds problems in is no
    // archive and is passed over.
    void File(const std::string& text, const fs::path& path) {
        archive::Archive archive(path);
        if (!archive.IsOpen()) {
            Problem(text, archive::Describe(archive.Error()));
            return;
        }
        const archive::CheckReport check = archive::CheckArchive(archive, [](const auto&) {});
        if (check.ReadError) {
            Problem(text,
                    archive::Describe({archive::OpenError::Kind::Unreadable,
                                       archive::OpenError::Subject::Archive, check.ReadError}));
            return;
        }
        if (check.Problems > 0) {
            if (flags_.Verbose)
                Complain(text, "skipped, not an archive: check finds " +
                                   Count(check.Problems, "problem", "problems"));
            return;
        }
        std::error_code ec;
        archive.WalkDirectory(
            [&](int k, const archive::ArchiveEntry& e) {
                if (!Matches(e.Name))
                    return true;
                matched_ = true;
                if (flags_.Json) {
                    std::string line;
                    AppendJson(line, k, e);
                    out_.append("{");
                    AppendJsonText(out_, "archive", text);
                    out_.append(1, ',').append(line, 1);
                } else {
                    out_.append(NativeText(text))
                        .append(1, '\t')
                        .append(std::to_string(k))
                        .append(1, '\t')
                        .append(std::to_string(e.Size))
                        .append(1, '\t')
                        .append(e.Name)
                        .append(1, '\n');
                }
                return true;
            },
            ec);
        if (ec)
            Problem(text, archive::Describe({archive::OpenError::Kind::Unreadable,
                                             archive::OpenError::Subject::Archive, ec}));
        output_.Write(out_);
        out_.clear();
    }

    void Problem(const std::string& path, const std::string& message) {
        Complain(path, message);
        trouble_ = true;
    }

    const Flags& flags_;
    const bool fold_, isPattern_;
    const std::string pattern_;
    Output output_{flags_.Json ? Encoding::Json : Encoding::Names};
    std::string out_;
    bool matched_ = false, trouble_ = false;
};

} // namespace

int Find(const Flags& flags, const Operands& operands) {
    if (operands.size() < 2)
        throw UsageError{"find takes PATTERN and PATH..."};
    Finder finder(flags, EntryNameArgument(operands[0]));
    for (auto path = operands.begin() + 1; path != operands.end() && finder.Out().Ok(); ++path)
        finder.Operand(*path);
    const int status = finder.Trouble() ? 2 : finder.Matched() ? 0 : 1;
    return std::max(status, finder.Out().Finish());
}

} // namespace cli
