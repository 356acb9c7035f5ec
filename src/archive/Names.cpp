#include "archive/Names.h"

#include "archive/ArchiveEntry.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace archive {

namespace {

bool IsWindowsReservedName(const std::string& name) {
    // Device names stay reserved with any extension: "CON", "con.txt", "COM1.dat".
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    for (char& c : stem)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static constexpr std::array<std::string_view, 6> Plain = {"CON", "PRN",    "AUX",
                                                              "NUL", "CONIN$", "CONOUT$"};
    if (std::find(Plain.begin(), Plain.end(), stem) != Plain.end())
        return true;
    if (!stem.starts_with("COM") && !stem.starts_with("LPT"))
        return false;
    // COM0 to COM9, and COM with a superscript 1, 2 or 3, which Windows takes for a digit:
    // one byte in the Western code page, two in UTF-8.
    const std::string_view digit = std::string_view(stem).substr(3);
    const auto superscript = [](unsigned char c) { return c == 0xB9 || c == 0xB2 || c == 0xB3; };
    return (digit.size() == 1 && ((digit[0] >= '0' && digit[0] <= '9') ||
                                  superscript(static_cast<unsigned char>(digit[0])))) ||
           (digit.size() == 2 && static_cast<unsigned char>(digit[0]) == 0xC2 &&
            superscript(static_cast<unsigned char>(digit[1])));
}

} // namespace

std::string UnsafeNameReason(const std::string& name, bool windowsRules) {
    if (name.empty())
        return "empty name";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\')
            return "unsafe name (contains a path separator)";
        if (byte < 32 || byte == 127)
            return "unsafe name (contains a control character)";
    }
    if (!windowsRules)
        return {};
    if (name.find_first_of("<>:\"|?*") != std::string::npos)
        return "unsafe name (contains a character Windows does not allow)";
    if (name.back() == ' ' || name.back() == '.')
        return "unsafe name (ends in a space or full stop)";
    if (IsWindowsReservedName(name))
        return "unsafe name (a device name Windows reserves)";
    return {};
}

std::string StoredNameProblem(const std::string& name) {
    if (name.size() > NameSize)
        return "name longer than 12 bytes";
    if (!name.empty() && EndsDirectory(name))
        return "name starts with a byte that ends the directory (NUL, '.', '/' or a digit)";
    return UnsafeNameReason(name, true);
}

} // namespace archive
