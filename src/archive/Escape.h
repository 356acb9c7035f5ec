#pragma once

// Entry names and other bytes fit for one line of a message, one rule for the command line and
// the window alike.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace archive {

// The length of the valid UTF-8 sequence at the start of `s` (no overlong forms, surrogates or
// values past U+10FFFF), or 0 when it does not start with one. `s` is not empty.
std::size_t Utf8Length(std::string_view s);

// Whether all of `text` is valid UTF-8.
bool IsUtf8(std::string_view text);

// `text` fit for a terminal line: control characters (C0, DEL and the C1 range, the latter as
// its two UTF-8 bytes), bytes that are not UTF-8 and the backslash become \xNN and \\, so
// nothing breaks the line or acts on the terminal, and the original bytes can still be read
// off. Everything else is kept as it is, so the result is valid UTF-8. On Windows the backslash
// is the path separator, which no file name holds: it stays as it is.
std::string Escaped(std::string_view text);

// An entry name as UTF-8 text, the way the file that extraction writes is named: the name
// itself where names are UTF-8; on Windows the ANSI code page's reading of the bytes, with
// \xNN for each byte that code page has no character for (0x81 in 1252). Escaped applies to
// the result as to any text.
std::string NameText(std::string_view name);

// The name as UTF-8 when every byte of it is text (NameText without escapes), nullopt when not.
std::optional<std::string> DecodedName(std::string_view name);

} // namespace archive
