// replace ARCHIVE FILE...: each file's bytes become the data of the entry of its name, which
// keeps its position.

#include "cli/Commands.h"
#include "cli/Platform.h"

namespace cli {

int Replace(const Flags&, const Operands& operands) {
    int status = -1;
    archive::EditPlan plan = OpenForEditing("replace", operands, status);
    if (status >= 0)
        return status;
    for (auto file = operands.begin() + 1; file != operands.end(); ++file)
        plan.ReplaceNamed(FileNameArgument(*file), PathArgument(*file), *file);
    return WritePlan(operands[0], plan);
}

} // namespace cli
