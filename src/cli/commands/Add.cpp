// add ARCHIVE FILE...: the files appended as new entries.

#include "cli/Commands.h"

namespace cli {

int Add(const Flags&, const Operands& operands) {
    int status = -1;
    archive::EditPlan plan = OpenForEditing("add", operands, status);
    if (status >= 0)
        return status;
    for (auto file = operands.begin() + 1; file != operands.end(); ++file)
        AddFile(plan, *file);
    return WritePlan(operands[0], plan);
}

} // namespace cli
