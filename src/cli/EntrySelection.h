#pragma once

// The entries that ENTRY operands pick: an operand starting with a digit is a 0-based position,
// one holding `*`, `?` or `[` a pattern, any other a name (every entry of that name). Exclude
// patterns drop what they match, and case may be ignored for names and patterns. Positions
// are resolved and operands found to match in one walk of the directory; the entries of names
// and patterns are found again as they are used, so memory does not grow with them.

#include "archive/Archive.h"
#include "archive/Extract.h"

#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace cli {

// A mistake in the command line: the message, then the usage, and exit status 2.
struct UsageError {
    std::string Message;
};

struct SelectionRules {
    std::vector<std::string> Excludes; // patterns, as entry-name bytes
    bool IgnoreCase = false;           // for names, patterns and excludes
};

class EntrySelection {
public:
    // operands: the ENTRY arguments as given (messages name them so); entries: the same as
    // entry-name bytes (cli::EntryNameArgument). Throws UsageError for a malformed position.
    EntrySelection(const std::vector<std::string>& operands,
                   const std::vector<std::string>& entries, SelectionRules rules);

    // Walks the directory once: keeps the names found at the positions given and finds which
    // operands match an entry. Throws UsageError for a position past the directory's end.
    void Resolve(const archive::Archive& archive, std::error_code& ec);

    // No operands: every entry (less the excluded ones) is selected.
    bool Every() const { return operands_.empty(); }
    std::size_t Size() const { return operands_.size(); }
    // Operand i picks entry k of that name (exclusions aside).
    bool Picks(std::size_t i, std::int64_t k, std::string_view name) const;
    bool Excluded(std::string_view name) const;
    // Some operand (or, with none, every entry) picks it and it is not excluded.
    bool Selects(std::int64_t k, std::string_view name) const;
    // The operands, as given, that match no entry; after Resolve.
    std::vector<std::string> Unmatched() const;
    // The position of operand i, or -1 when it is a name or a pattern.
    std::int64_t Position(std::size_t i) const { return operands_[i].Position; }
    // Operand i is a name or a pattern that matched an entry when resolved.
    bool MatchedByName(std::size_t i) const {
        return operands_[i].What != Operand::Kind::Position && operands_[i].Matched;
    }
    // Operand i as given.
    const std::string& Given(std::size_t i) const { return operands_[i].Given; }

    // For archive::ExtractEntries, after Resolve: the positions given (ascending, each once,
    // excluded ones dropped), the names found there, and the filter for names and patterns.
    std::span<const int> Positions() const { return positions_; }
    std::span<const std::string_view> ListedNames() const { return listed_; }
    archive::NameFilter ByName() const;
    int Count() const { return count_; }

private:
    struct Operand {
        enum class Kind { Position, Name, Pattern } What;
        std::string Given, Bytes; // a name's Bytes in lower case when case is ignored
        std::int64_t Position = -1;
        bool Matched = false;
    };
    std::string Folded(std::string_view name) const;
    bool NameMatches(const Operand& o, std::string_view name, std::string_view folded) const;
    bool SelectsByName(std::string_view name) const; // a name or pattern operand picks it

    std::vector<Operand> operands_;
    SelectionRules rules_;
    std::set<std::string, std::less<>> names_;     // the name operands' Bytes
    bool anyName_ = false;                         // some operand is a name or a pattern
    std::map<std::int64_t, std::string> numbered_; // positions given and the names found there
    std::vector<int> positions_;
    std::vector<std::string_view> listed_;
    int count_ = 0;
};

} // namespace cli
