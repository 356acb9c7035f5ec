// replace ARCHIVE FILE...: each file's bytes become the data of the entry of its name, which
// keeps its position.

#include "cli/Commands.h"
#include "cli/Platform.h"

namespace cli {

int Replace(const Flags& flags, const Operands& operands) {
    return EditArchive("replace", flags, operands, [&](archive::EditPlan& plan) {
        for (auto file = operands.begin() + 1; file != operands.end(); ++file)
            plan.ReplaceNamed(FileNameArgument(*file), PathArgument(*file), *file);
        return true;
    });
}

} // namespace cli
