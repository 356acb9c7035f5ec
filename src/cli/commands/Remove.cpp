// remove [-i] [--exclude PATTERN]... ARCHIVE ENTRY...: the entries dropped, taken as extract
// takes them; an ENTRY that matches nothing is refused.

#include "cli/Commands.h"

namespace cli {

int Remove(const Flags& flags, const Operands& operands) {
    int status = -1;
    archive::EditPlan plan = OpenForEditing("remove", operands, status);
    if (status >= 0)
        return status;
    EntrySelection selection = Selection({operands.begin() + 1, operands.end()}, flags);
    std::error_code ec;
    const int unmatched = Resolve(*plan.Old(), selection, ec);
    if (ec)
        return ReadFailed(operands[0], ec);
    if (unmatched)
        return 1;
    plan.Remove([&](int k, const std::string& name) { return selection.Selects(k, name); });
    return WritePlan(operands[0], plan);
}

} // namespace cli
