#include "archive/Pattern.h"

#include "archive/Names.h"

#include <array>
#include <utility>

namespace archive {

namespace {

constexpr std::size_t Unclosed = std::string_view::npos;

// Whether byte c is in a character class of the C locale ("[:alpha:]" ...), where bytes past
// ASCII belong to none: 1 or 0, or -1 for a name that is no class.
int InClass(std::string_view name, unsigned char c) {
    const bool upper = c >= 'A' && c <= 'Z', lower = c >= 'a' && c <= 'z';
    const bool digit = c >= '0' && c <= '9', graph = c > ' ' && c < 127;
    const bool alnum = upper || lower || digit;
    const std::array<std::pair<std::string_view, bool>, 12> classes{{
        {"alpha", upper || lower},
        {"digit", digit},
        {"alnum", alnum},
        {"upper", upper},
        {"lower", lower},
        {"space", c == ' ' || (c >= '\t' && c <= '\r')},
        {"blank", c == ' ' || c == '\t'},
        {"punct", graph && !alnum},
        {"print", graph || c == ' '},
        {"graph", graph},
        {"cntrl", c < ' ' || c == 127},
        {"xdigit", digit || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')},
    }};
    for (const auto& [known, in] : classes)
        if (known == name)
            return in ? 1 : 0;
    return -1;
}

// At p[i] after "[:" inside a bracket: the class name and the position after its ":]", or
// Unclosed when what follows cannot be a class name (letters a to y only, as the C library
// takes them): the "[" is then a byte of the set.
std::size_t ClassAt(std::string_view p, std::size_t i, std::string_view& name) {
    for (std::size_t k = i; k < p.size(); ++k) {
        if (p[k] == ':' && k + 1 < p.size() && p[k + 1] == ']') {
            name = p.substr(i, k - i);
            return k + 2;
        }
        if (p[k] < 'a' || p[k] >= 'z')
            return Unclosed;
    }
    return Unclosed;
}

// The bracket expression that starts after the `[` at p[i]: whether byte c is in its set, and
// the position after its `]`; Unclosed when no `]` closes it (the `[` is then a literal byte).
// With foldCase, single bytes and ranges compare without ASCII case, classes with it. A class
// name that is not known makes the set match nothing, negated or not, as the C library has it.
std::size_t Bracket(std::string_view p, std::size_t i, unsigned char c, bool foldCase,
                    bool& matched) {
    const bool negated = i < p.size() && (p[i] == '!' || p[i] == '^');
    i += negated ? 1 : 0;
    const auto fold = [foldCase](int b) {
        return foldCase ? static_cast<unsigned char>(FoldCase(static_cast<char>(b))) : b;
    };
    const int folded = fold(c);
    matched = false;
    bool unknownClass = false;
    for (bool first = true;; first = false) {
        if (i >= p.size())
            return Unclosed;
        if (p[i] == ']' && !first) {
            matched = !unknownClass && matched != negated;
            return i + 1;
        }
        if (std::string_view name; p[i] == '[' && i + 1 < p.size() && p[i + 1] == ':') {
            if (const std::size_t after = ClassAt(p, i + 2, name); after != Unclosed) {
                const int in = InClass(name, c);
                unknownClass = unknownClass || in < 0;
                matched = matched || in > 0;
                i = after;
                continue;
            }
        }
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
        matched = matched || (folded >= fold(low) && folded <= fold(high));
    }
}

bool Matches(std::string_view p, std::string_view n, bool foldCase) {
    const auto same = [foldCase](char a, char b) {
        return a == b || (foldCase && FoldCase(a) == FoldCase(b));
    };
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
                                                       foldCase, matched)) != Unclosed) {
                } else if (c == '\\') {
                    next = i + 2;
                    matched = i + 1 < p.size() && same(p[i + 1], n[j]);
                } else {
                    next = i + 1;
                    matched = same(c, n[j]);
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
    return Matches(pattern, name, foldCase);
}

} // namespace archive
