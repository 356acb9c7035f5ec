// add ARCHIVE FILE...: the files appended as new entries.

#include "cli/Commands.h"

namespace cli {

int Add(const Flags& flags, const Operands& operands) {
    return EditArchive("add", flags, operands, [&](archive::EditPlan& plan) {
        for (auto file = operands.begin() + 1; file != operands.end(); ++file)
            AddFile(plan, *file);
        return true;
    });
}

} // namespace cli
