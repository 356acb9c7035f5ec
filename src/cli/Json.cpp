#include "cli/Json.h"

#include "archive/Escape.h"

#include <optional>
#include <string_view>

namespace cli {

namespace {

constexpr char Hex[] = "0123456789abcdef";

// A name as a JSON string: escaped as JSON requires, control characters as \u00XX.
void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            out.append(1, '\\').append(1, c);
        else if (byte < 0x20)
            out.append("\\u00").append(1, Hex[byte >> 4]).append(1, Hex[byte & 15]);
        else
            out += c;
    }
    out += '"';
}

} // namespace

void AppendJsonText(std::string& out, std::string_view key, std::string_view text) {
    out.append(1, '"').append(key).append("\":");
    if (archive::IsUtf8(text))
        AppendJsonString(out, text);
    else
        out.append("null");
}

void AppendJsonName(std::string& out, std::string_view key, std::string_view bytes) {
    // The name as the file extraction writes is named: on Windows the ANSI code page's reading.
    out.append(1, '"').append(key).append("\":");
    if (const std::optional<std::string> text = archive::DecodedName(bytes))
        AppendJsonString(out, *text);
    else
        out.append("null");
    out.append(",\"").append(key).append("_hex\":\"");
    for (const char c : bytes)
        out.append(1, Hex[static_cast<unsigned char>(c) >> 4])
            .append(1, Hex[static_cast<unsigned char>(c) & 15]);
    out.append(1, '"');
}

void AppendJson(std::string& out, int k, const archive::ArchiveEntry& e) {
    out.append("{\"index\":")
        .append(std::to_string(k))
        .append(",\"offset\":")
        .append(std::to_string(e.Offset))
        .append(",\"size\":")
        .append(std::to_string(e.Size))
        .append(1, ',');
    AppendJsonName(out, "name", e.Name);
    out.append("}\n");
}

} // namespace cli
