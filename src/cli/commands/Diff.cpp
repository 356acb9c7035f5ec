// diff [--json] OLD NEW: what changed between two versions of an archive.

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Output.h"

#include "archive/Compare.h"
#include "archive/Escape.h"

namespace cli {

namespace {

using Kind = archive::Difference::Kind;

void AppendJson(std::string& out, const archive::Difference& d) {
    static constexpr const char* Changes[] = {"added", "removed", "changed", "moved"};
    out.append("{\"change\":\"").append(Changes[static_cast<int>(d.What)]).append("\",");
    AppendJsonName(out, "name", d.Name);
    const auto number = [&](const char* key, std::int64_t value) {
        out.append(",\"").append(key).append("\":").append(std::to_string(value));
    };
    if (d.What != Kind::Added)
        number("old_index", d.OldPosition);
    if (d.What != Kind::Removed)
        number("new_index", d.NewPosition);
    if (d.What != Kind::Added && d.What != Kind::Moved)
        number("old_size", d.OldSize);
    if (d.What != Kind::Removed && d.What != Kind::Moved)
        number("new_size", d.NewSize);
    out.append("}\n");
}

} // namespace

int Diff(const Flags& flags, const Operands& operands) {
    if (operands.size() != 2)
        throw UsageError{"diff takes OLD and NEW"};
    archive::Archive older, newer;
    const bool opened = Open(operands[0], older);
    if (!Open(operands[1], newer) || !opened)
        return 2;
    Output output(flags.Json ? Encoding::Json : Encoding::Text);
    std::string out;
    const archive::CompareReport report = archive::CompareArchives(
        older, newer,
        [&](const archive::Difference& d) {
            if (flags.Json)
                AppendJson(out, d);
            else
                out.append(archive::Escaped(archive::NameText(archive::Describe(d)))).append(1, '\n');
            output.WriteInBlocks(out);
        },
        [&](const archive::EntryResult& e, bool inNewer) {
            Complain(operands[inNewer ? 1 : 0] + ": " + archive::NameText(e.Name), archive::Describe(e));
        });
    for (const auto& [error, path] :
         {std::pair{report.OldError, operands[0]}, std::pair{report.NewError, operands[1]}})
        if (error)
            Complain(path, archive::Describe(error));
    if (report.OldError || report.NewError)
        return 2;
    output.Write(out);
    const int status = report.Problems > 0 ? 2 : report.Differences() > 0 ? 1 : 0;
    return std::max(status, output.Finish());
}

} // namespace cli
