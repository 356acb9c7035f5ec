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

} // namespace archive
