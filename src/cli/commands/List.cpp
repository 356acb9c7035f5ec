// list [-l|--long|--json] ARCHIVE: the entry names, one a line, in directory order.

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Output.h"

namespace cli {

int List(const Flags& flags, const Operands& operands) {
    if (operands.size() != 1)
        throw UsageError{"list takes one ARCHIVE"};
    if (flags.Long && flags.Json)
        throw UsageError{"list takes --long or --json, not both"};
    archive::Archive archive;
    if (!Open(operands[0], archive))
        return 2;
    // The directory is printed as it is read, so memory stays the same however long it is.
    Output output(flags.Json ? Encoding::Json : Encoding::Names);
    std::string out;
    std::error_code ec;
    archive.WalkDirectory(
        [&](int k, const archive::ArchiveEntry& e) {
            if (flags.Json) {
                AppendJson(out, k, e);
            } else {
                if (flags.Long)
                    out.append(std::to_string(k))
                        .append(1, '\t')
                        .append(std::to_string(e.Offset))
                        .append(1, '\t')
                        .append(std::to_string(e.Size))
                        .append(1, '\t');
                out.append(e.Name).append(1, '\n');
            }
            output.WriteInBlocks(out);
            return output.Ok();
        },
        ec);
    output.Write(out);
    const int status = output.Finish();
    return ec ? ReadFailed(operands[0], ec) : status;
}

} // namespace cli
