// remove [-i] [--exclude PATTERN]... ARCHIVE ENTRY...: the entries dropped, taken as extract
// takes them; an ENTRY that matches nothing is refused.

#include "cli/Commands.h"

namespace cli {

int Remove(const Flags& flags, const Operands& operands) {
    return EditArchive("remove", flags, operands, [&](archive::EditPlan& plan) {
        EntrySelection selection = Selection({operands.begin() + 1, operands.end()}, flags);
        std::error_code ec;
        const int unmatched = Resolve(*plan.Old(), selection, ec);
        if (ec)
            ReadFailed(operands[0], ec);
        if (ec || unmatched)
            return false;
        plan.Remove([&](int k, const std::string& name) { return selection.Selects(k, name); });
        return true;
    });
}

} // namespace cli
