// compact ARCHIVE: the archive rewritten in the canonical layout, its gaps reclaimed.

#include "cli/Commands.h"

namespace cli {

int Compact(const Flags& given, const Operands& operands) {
    Flags flags = given;
    flags.Compact = true;
    return EditArchive("compact", flags, operands, [](archive::EditPlan&) { return true; });
}

} // namespace cli
