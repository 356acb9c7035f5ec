// check ARCHIVE...: each problem and note in each directory, then a summary line.

#include "cli/Commands.h"
#include "cli/Output.h"

#include "archive/Check.h"
#include "archive/Escape.h"

#include <algorithm>

namespace cli {

int Check(const Flags&, const Operands& operands) {
    if (operands.empty())
        throw UsageError{"check takes one ARCHIVE or more"};
    Output output(Encoding::Text);
    int status = 0;
    for (const std::string& path : operands) {
        archive::Archive archive;
        if (!Open(path, archive)) {
            status = 2;
            continue;
        }
        const archive::CheckReport report =
            archive::CheckArchive(archive, [&](const archive::Finding& f) {
                const bool note = f.What == archive::Finding::Kind::Note;
                output.Write(archive::Escaped(path + ": entry " + std::to_string(f.Position) + ' ' +
                                              archive::NameText(f.Name) + ": " +
                                              (note ? "note: " : "") + f.Text) +
                             '\n');
            });
        if (report.ReadError) {
            ReadFailed(path, report.ReadError);
            status = 2;
            continue;
        }
        output.Write(archive::Escaped(path + ": " + Count(report.Entries, "entry", "entries") +
                                      ", " + Count(report.Problems, "problem", "problems") + ", " +
                                      Count(report.Notes, "note", "notes")) +
                     '\n');
        if (report.Problems > 0)
            status = std::max(status, 1);
    }
    return std::max(status, output.Finish());
}

} // namespace cli
