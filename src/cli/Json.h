#pragma once

// The JSON lines of list, sums, diff and find.

#include "archive/ArchiveEntry.h"

#include <string>
#include <string_view>

namespace cli {

// Appends {"index":K,"offset":O,"size":S,"name":"TEXT","name_hex":"HEX"} and a line feed:
// name is the name's text (archive::DecodedName: on Windows the ANSI code page's reading, the
// name of the file extraction writes), null when its bytes are not text; name_hex holds them.
void AppendJson(std::string& out, int k, const archive::ArchiveEntry& e);

// Appends "KEY":"TEXT","KEY_hex":"HEX" for name bytes as AppendJson writes the name.
void AppendJsonName(std::string& out, std::string_view key, std::string_view bytes);

// Appends "KEY":"TEXT" (null when `text` is not valid UTF-8).
void AppendJsonText(std::string& out, std::string_view key, std::string_view text);

} // namespace cli
