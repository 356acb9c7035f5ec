#pragma once

// The lines of list --json.

#include "archive/ArchiveEntry.h"

#include <string>

namespace cli {

// Appends {"index":K,"offset":O,"size":S,"name":"TEXT","name_hex":"HEX"} and a line feed:
// name is null when the name's bytes are not valid UTF-8; name_hex holds them always.
void AppendJson(std::string& out, int k, const archive::ArchiveEntry& e);

} // namespace cli
