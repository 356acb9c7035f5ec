#pragma once

// Wildcard patterns for entry names, with the rules of the shell's file-name patterns: `*`
// matches any run of bytes, `?` any one byte, `[...]` one byte of a set (ranges such as `a-z`,
// character classes such as `[:alpha:]` as the C locale has them, `!` or `^` first for the
// bytes not in it, `]` first for itself), and a backslash makes the next byte literal. Names are
// bytes and so are patterns: nothing is decoded, and `/` and a leading `.` are bytes like any
// other.

#include <string_view>

namespace archive {

// The text holds `*`, `?` or `[`, so it is taken as a pattern rather than a name.
bool IsPattern(std::string_view text);

// The whole name matches the pattern; foldCase compares ASCII letters without their case (a
// class still takes a byte as it is: `[[:upper:]]` matches `A`, never `a`).
bool MatchesPattern(std::string_view pattern, std::string_view name, bool foldCase = false);

} // namespace archive
