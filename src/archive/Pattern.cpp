#include "archive/Pattern.h"

#include "archive/Names.h"

#include <string>

namespace archive {

namespace {

constexpr std::size_t Unclosed = std::string_view::npos;

// The bracket expression that starts after the `[` at p[i]: whether byte c is in its set, and
// the position after its `]`; Unclosed when no `]` closes it (the `[` is then a literal byte).
std::size_t Bracket(std::string_view p, std::size_t i, unsigned char c, bool& matched) {
    const bool negated = i < p.size() && (p[i] == '!' || p[i] == '^');
    i += negated ? 1 : 0;
    matched = false;
    for (bool first = true;; first = false) {
        if (i >= p.size())
            return Unclosed;
        if (p[i] == ']' && !first)
            return matched = matched != negated, i + 1;
        // One byte, or a range of them; a backslash makes the byte after it literal.
        const auto take = [&]() -> int {
            if (p[i] == '\\' && ++i >= p.size())
                return -1;
            return static_cast<unsigned char>(p[i++]);
        };
        const int low = take();
        int high = low;
        if (low >= 0 && i + 1 < p.size() && p[i] == '-' && p[i + 1] != ']') {
            ++i;
            high = take();
        }
        if (low < 0 || high < 0)
            return Unclosed;
        matched = matched || (c >= low && c <= high);
    }
}

bool Matches(std::string_view p, std::string_view n) {
    // The usual walk with one point to go back to: the last `*` and the name byte it was
    // last tried up to. Any later `*` supersedes it, so no deeper backtracking is needed.
    std::size_t i = 0, j = 0, starAt = Unclosed, starName = 0;
    while (j < n.size() || i < p.size()) {
        if (i < p.size()) {
            const char c = p[i];
            if (c == '*') {
                starAt = ++i;
                starName = j;
                continue;
            }
            if (j < n.size()) {
                bool matched = false;
                std::size_t next = i + 1;
                if (c == '?') {
                    matched = true;
                } else if (c == '[' && (next = Bracket(p, i + 1, static_cast<unsigned char>(n[j]),
                                                       matched)) != Unclosed) {
                } else if (c == '\\') {
                    next = i + 2;
                    matched = i + 1 < p.size() && p[i + 1] == n[j];
                } else {
                    next = i + 1;
                    matched = c == n[j];
                }
                if (matched) {
                    i = next;
                    ++j;
                    continue;
                }
            }
        }
        if (starAt == Unclosed || starName >= n.size())
            return false;
        i = starAt;
        j = ++starName;
    }
    return true;
}

} // namespace

bool IsPattern(std::string_view text) {
    return text.find_first_of("*?[") != std::string_view::npos;
}

bool MatchesPattern(std::string_view pattern, std::string_view name, bool foldCase) {
    if (foldCase)
        return Matches(FoldCase(std::string(pattern)), FoldCase(std::string(name)));
    return Matches(pattern, name);
}

} // namespace archive
