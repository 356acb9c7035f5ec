// add ARCHIVE FILE...: the files appended as new entries.

#include "cli/Commands.h"

namespace cli {

int Add(const Flags&, const Operands& operands) {
    return EditArchive("add", operands, [&](archive::EditPlan& plan) {
        for (auto file = operands.begin() + 1; file != operands.end(); ++file)
            AddFile(plan, *file);
        return true;
    });
}

} // namespace cli
