// update [-v] [--compact] ARCHIVE FILE...: each file replaces the entry of its name, or is
// added when there is none; an entry that holds the file's bytes already is left alone.

#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Platform.h"

#include "archive/Escape.h"

namespace cli {

int Update(const Flags& flags, const Operands& operands) {
    return EditArchive("update", flags, operands, [&](archive::EditPlan& plan) {
        for (auto file = operands.begin() + 1; file != operands.end(); ++file) {
            std::string name = FileNameArgument(*file);
            if (name.empty()) {
                AddFile(plan, *file); // refused as add refuses it
                continue;
            }
            const std::string shown = archive::Escaped(archive::NameText(name));
            if (plan.Update(std::move(name), PathArgument(*file), *file) ==
                    archive::EditPlan::Updated::Unchanged &&
                flags.Verbose)
                Print(stderr, shown + ": unchanged\n");
        }
        return true;
    });
}

} // namespace cli
