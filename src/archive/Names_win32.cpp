// Names on Windows: bytes in the ANSI code page, as extraction names the files, read and
// compared without case as the system does.

#include "archive/Escape.h"
#include "archive/Names.h"

#include <windows.h>

#include <array>

namespace archive {

namespace {

// The character at the start of `s` (not empty) in the ANSI code page: its length in bytes and
// its UTF-16 form, or a length of 0 when no character starts there. A byte the code page does
// not define reads as a C1 control (0x81 as U+0081 in 1252): that is no character either.
std::size_t Character(std::string_view s, std::wstring& wide) {
    const auto byte = static_cast<unsigned char>(s[0]);
    const UINT codePage = ::GetACP();
    std::size_t length = 1;
    if (codePage == CP_UTF8)
        length = Utf8Length(s);
    else if (::IsDBCSLeadByteEx(codePage, byte))
        length = s.size() >= 2 ? 2 : 0;
    if (length == 0)
        return 0;
    wchar_t out[2];
    const int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, s.data(),
                                        static_cast<int>(length), out, 2);
    if (n <= 0 || (byte >= 0x80 && out[0] >= 0x80 && out[0] <= 0x9F && codePage != CP_UTF8))
        return 0;
    wide.assign(out, static_cast<std::size_t>(n));
    return length;
}

std::string Utf8(const std::wstring& wide) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                          nullptr, nullptr);
    return text;
}

// Walks `name` a character at a time: text(wide, bytes) for each character, other(byte) for
// each byte that starts none.
template <typename Text, typename Other>
void Walk(std::string_view name, Text text, Other other) {
    std::wstring wide;
    while (!name.empty()) {
        const std::size_t length = Character(name, wide);
        if (length == 0)
            other(static_cast<unsigned char>(name[0]));
        else
            text(wide, name.substr(0, length));
        name.remove_prefix(length == 0 ? 1 : length);
    }
}

// Upper case as Windows' ordinal comparison without case has it, one UTF-16 unit at a time.
std::wstring Upper(std::wstring wide) {
    ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(),
                    static_cast<int>(wide.size()), wide.data(), static_cast<int>(wide.size()),
                    nullptr, nullptr, 0);
    return wide;
}

} // namespace

std::string NameText(std::string_view name) {
    static constexpr char Hex[] = "0123456789abcdef";
    std::string out;
    Walk(
        name, [&](const std::wstring& wide, std::string_view) { out += Utf8(wide); },
        [&](unsigned char b) { out.append({'\\', 'x', Hex[b >> 4], Hex[b & 15]}); });
    return out;
}

std::optional<std::string> DecodedName(std::string_view name) {
    std::string out;
    bool text = true;
    Walk(
        name, [&](const std::wstring& wide, std::string_view) { out += Utf8(wide); },
        [&](unsigned char) { text = false; });
    return text ? std::optional(out) : std::nullopt;
}

// ASCII letters in lower case, as everywhere; other characters in Windows' upper case, as UTF-8
// (a key, never shown); a byte that starts no character as 0xFF and itself, which UTF-8 never
// holds.
std::string FoldCase(std::string name) {
    std::string key;
    Walk(
        name,
        [&](const std::wstring& wide, std::string_view bytes) {
            if (bytes.size() == 1 && static_cast<unsigned char>(bytes[0]) < 0x80)
                key += FoldCase(bytes[0]);
            else
                key += Utf8(Upper(wide));
        },
        [&](unsigned char b) { key.append({'\xff', static_cast<char>(b)}); });
    return key;
}

char FoldCase(char c) {
    // Single-byte characters only; each byte's fold is found once.
    static const std::array<char, 256> Folded = [] {
        std::array<char, 256> folded{};
        for (int b = 0; b < 256; ++b) {
            folded[b] = static_cast<char>(b);
            const char byte = static_cast<char>(b);
            std::wstring wide;
            if (b >= 'A' && b <= 'Z')
                folded[b] = static_cast<char>(b - 'A' + 'a');
            else if (b >= 0x80 && Character({&byte, 1}, wide) == 1) {
                const std::wstring upper = Upper(wide);
                char back[2];
                BOOL lost = FALSE;
                if (::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, upper.data(),
                                          static_cast<int>(upper.size()), back, 2, nullptr,
                                          &lost) == 1 &&
                    !lost)
                    folded[b] = back[0];
            }
        }
        return folded;
    }();
    return Folded[static_cast<unsigned char>(c)];
}

} // namespace archive
