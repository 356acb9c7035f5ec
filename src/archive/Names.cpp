#include "archive/Names.h"

#include "archive/ArchiveEntry.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace archive {

namespace {

bool IsWindowsReservedName(const std::string& name) {
    // Device names stay reserved with any extension: "CON", "con.txt", "COM1.dat".
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    for (char& c : stem) // device names are ASCII, compared without case
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    static constexpr std::array<std::string_view, 6> Plain = {"con", "prn",    "aux",
                                                              "nul", "conin$", "conout$"};
    if (std::find(Plain.begin(), Plain.end(), stem) != Plain.end())
        return true;
    if (!stem.starts_with("com") && !stem.starts_with("lpt"))
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

std::string Describe(NameProblem problem) {
    switch (problem) {
    case NameProblem::None:
        break;
    case NameProblem::Empty:
        return "empty name";
    case NameProblem::TooLong:
        return "name longer than 12 bytes";
    case NameProblem::EndsDirectory:
        return "name starts with a byte that ends the directory (NUL, '.', '/' or a digit)";
    case NameProblem::PathSeparator:
        return "unsafe name (contains a path separator)";
    case NameProblem::ControlCharacter:
        return "unsafe name (contains a control character)";
    case NameProblem::WindowsCharacter:
        return "unsafe name (contains a character Windows does not allow)";
    case NameProblem::EndsInSpaceOrFullStop:
        return "unsafe name (ends in a space or full stop)";
    case NameProblem::WindowsDevice:
        return "unsafe name (a device name Windows reserves)";
    }
    return {};
}

NameProblem UnsafeName(const std::string& name, bool windowsRules) {
    if (name.empty())
        return NameProblem::Empty;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (byte == '/' || byte == '\\')
            return NameProblem::PathSeparator;
        // C0, DEL, and C1 (U+0080 to U+009F) as UTF-8 writes it: C2 80 to C2 9F.
        const bool c1 = byte == 0xC2 && i + 1 < name.size() &&
                        (static_cast<unsigned char>(name[i + 1]) & 0xE0) == 0x80;
        if (byte < 32 || byte == 127 || c1)
            return NameProblem::ControlCharacter;
    }
    if (!windowsRules)
        return NameProblem::None;
    if (name.find_first_of("<>:\"|?*") != std::string::npos)
        return NameProblem::WindowsCharacter;
    if (name.back() == ' ' || name.back() == '.')
        return NameProblem::EndsInSpaceOrFullStop;
    if (IsWindowsReservedName(name))
        return NameProblem::WindowsDevice;
    return NameProblem::None;
}

NameProblem StoredNameProblem(const std::string& name) {
    if (name.size() > NameSize)
        return NameProblem::TooLong;
    if (!name.empty() && EndsDirectory(name))
        return NameProblem::EndsDirectory;
    return UnsafeName(name, true);
}

} // namespace archive
