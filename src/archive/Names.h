#pragma once

// Which entry names can be file names in the output folder, and how names compare when case
// is folded.

#include <string>

namespace archive {

#ifdef _WIN32
inline constexpr bool WindowsNameRules = true;
#else
inline constexpr bool WindowsNameRules = false;
#endif

// How names are compared wherever case is folded (the checks, -i, the duplicate and
// self-overwrite rules, folders that fold case): the key of a name, equal for two names that
// differ only in case. Elsewhere ASCII letters in lower case and every other byte as it is:
// the file systems that give each spelling of a name an identity of its own (FAT through FUSE)
// take ASCII names only. On Windows the system's own folding, as its file systems compare
// names (CompareStringOrdinal without case), over the ANSI code page's reading of the bytes.
#ifdef _WIN32
char FoldCase(char c); // one byte of a single-byte character
[[nodiscard]] std::string FoldCase(std::string name);
#else
constexpr char FoldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
[[nodiscard]] inline std::string FoldCase(std::string name) {
    for (char& c : name)
        c = FoldCase(c);
    return name;
}
#endif

// Why a name cannot be a file name, or be stored in an archive this program writes.
enum class NameProblem {
    None,
    Empty,
    TooLong,               // more than 12 bytes (stored names only)
    EndsDirectory,         // starts with NUL, '.', '/' or a digit (stored names only)
    PathSeparator,         // '/' or '\' anywhere
    ControlCharacter,      // below 32, 127, or U+0080 to U+009F in UTF-8 (C2 80 to C2 9F)
    WindowsCharacter,      // one of <>:"|?* (Windows' rules)
    EndsInSpaceOrFullStop, // (Windows' rules)
    WindowsDevice,         // CON, COM1, LPT1 ... with any extension (Windows' rules)
};

// The English text: "empty name", "unsafe name (contains a path separator)" ...; "" for None.
std::string Describe(NameProblem problem);

// Why an entry name cannot be written as a file in a folder, or None when it can. Path
// separators and control characters are refused everywhere; Windows also reserves device
// names, some punctuation and a trailing space or full stop.
NameProblem UnsafeName(const std::string& name, bool windowsRules = WindowsNameRules);

// Why a name cannot be stored in a record of an archive this program writes, or None when it
// can: 1 to 12 bytes, not starting with a byte that ends the directory, and a safe file name
// on every system (Windows' rules included).
NameProblem StoredNameProblem(const std::string& name);

} // namespace archive
