#include "archive/Escape.h"

namespace archive {

namespace {
#ifdef _WIN32
constexpr bool PathSeparatorIsBackslash = true;
#else
constexpr bool PathSeparatorIsBackslash = false;
#endif
} // namespace

std::size_t Utf8Length(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
    if (length == 0 || s.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t length; !text.empty(); text.remove_prefix(length))
        if ((length = Utf8Length(text)) == 0)
            return false;
    return true;
}

std::string Escaped(std::string_view text) {
    static constexpr char Hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto lead = static_cast<unsigned char>(text[0]);
        std::size_t length = Utf8Length(text);
        const bool c1 = lead == 0xC2 && length == 2 && static_cast<unsigned char>(text[1]) < 0xA0;
        if (lead == '\\' && !PathSeparatorIsBackslash) {
            out += "\\\\";
        } else if (length == 0 || lead < 32 || lead == 127 || c1) {
            length = c1 ? 2 : 1;
            for (std::size_t i = 0; i < length; ++i) {
                const auto b = static_cast<unsigned char>(text[i]);
                out.append({'\\', 'x', Hex[b >> 4], Hex[b & 15]});
            }
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

} // namespace archive
