// Names as text where they are UTF-8 already: the bytes are the text.

#include "archive/Escape.h"

namespace archive {

std::string NameText(std::string_view name) {
    return std::string(name);
}

std::optional<std::string> DecodedName(std::string_view name) {
    if (!IsUtf8(name))
        return std::nullopt;
    return std::string(name);
}

} // namespace archive
