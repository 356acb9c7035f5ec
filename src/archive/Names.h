#pragma once

// Which entry names can be file names in the output folder.

#include <string>

namespace archive {

#ifdef _WIN32
inline constexpr bool WindowsNameRules = true;
#else
inline constexpr bool WindowsNameRules = false;
#endif

// The reason an entry name cannot be written as a file in a folder, or "" when it can. Path
// separators and control characters are refused everywhere; Windows also reserves device
// names, some punctuation and a trailing space or full stop.
std::string UnsafeNameReason(const std::string& name, bool windowsRules = WindowsNameRules);

// The reason a name cannot be stored in a record of an archive this program writes, or "" when
// it can: 1 to 12 bytes, not starting with a byte that ends the directory, and a safe file name
// on every system (Windows' rules included).
std::string StoredNameProblem(const std::string& name);

} // namespace archive
