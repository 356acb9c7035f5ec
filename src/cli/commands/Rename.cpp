// rename ARCHIVE OLD NEW: the entry named OLD gets the name NEW, keeping its data and its
// position. NEW is checked as create checks the names it stores.

#include "cli/Commands.h"
#include "cli/Platform.h"

namespace cli {

int Rename(const Flags& flags, const Operands& operands) {
    if (operands.size() != 3)
        throw UsageError{"rename takes ARCHIVE, OLD and NEW"};
    return EditArchive("rename", flags, operands, [&](archive::EditPlan& plan) {
        const std::string& given = operands[2];
        std::string name = EntryNameArgument(given);
        // Refused for that alone, not once more for the empty name it would have.
        if (name.empty() && !given.empty())
            plan.Refuse(given, {.What = archive::WriteProblem::Kind::NameNotInCodePage});
        else
            plan.RenameNamed(EntryNameArgument(operands[1]), std::move(name), given);
        return true;
    });
}

} // namespace cli
