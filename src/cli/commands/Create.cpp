// create [--force] ARCHIVE FILE...: a new archive of the files in the order given.

#include "cli/Commands.h"
#include "cli/Platform.h"

namespace cli {

int Create(const Flags& flags, const Operands& operands) {
    if (operands.empty())
        throw UsageError{"create takes ARCHIVE and FILE..."};
    archive::EditPlan plan(PathArgument(operands[0]));
    for (auto file = operands.begin() + 1; file != operands.end(); ++file)
        AddFile(plan, *file);
    archive::WriteOptions write;
    write.ReplaceExisting = flags.Force;
    return WritePlan(operands[0], plan, write);
}

} // namespace cli
