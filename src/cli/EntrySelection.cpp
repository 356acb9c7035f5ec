#include "cli/EntrySelection.h"

#include "archive/ArchiveEntry.h"
#include "archive/Names.h"
#include "archive/Pattern.h"

#include <algorithm>
#include <charconv>

namespace cli {

namespace {

// A position operand: digits only, any number of them. Throws a usage error otherwise; a number
// past every position is MaxRecords.
std::int64_t ParsePosition(const std::string& entry) {
    if (entry.find_first_not_of("0123456789") != std::string::npos)
        throw UsageError{"not a position: " + entry};
    std::int64_t position = 0;
    const auto parsed = std::from_chars(entry.data(), entry.data() + entry.size(), position);
    return parsed.ec == std::errc() ? std::min(position, archive::MaxRecords) : archive::MaxRecords;
}

} // namespace

EntrySelection::EntrySelection(const std::vector<std::string>& operands,
                               const std::vector<std::string>& entries, SelectionRules rules)
    : rules_(std::move(rules)) {
    for (std::size_t i = 0; i < operands.size(); ++i) {
        Operand o{Operand::Kind::Name, operands[i], entries[i]};
        if (!operands[i].empty() && operands[i][0] >= '0' && operands[i][0] <= '9') {
            o.What = Operand::Kind::Position;
            o.Position = ParsePosition(operands[i]);
            numbered_[o.Position];
        } else {
            anyName_ = true;
            // A pattern folds case as it matches, so that a class takes bytes as they are.
            if (archive::IsPattern(o.Bytes))
                o.What = Operand::Kind::Pattern;
            else
                names_.insert(o.Bytes = Folded(o.Bytes));
        }
        operands_.push_back(std::move(o));
    }
}

std::string EntrySelection::Folded(std::string_view name) const {
    return rules_.IgnoreCase ? archive::FoldCase(std::string(name)) : std::string(name);
}

bool EntrySelection::NameMatches(const Operand& o, std::string_view name,
                                 std::string_view folded) const {
    return o.What == Operand::Kind::Pattern
               ? archive::MatchesPattern(o.Bytes, name, rules_.IgnoreCase)
               : o.What == Operand::Kind::Name && o.Bytes == folded;
}

bool EntrySelection::Picks(std::size_t i, std::int64_t k, std::string_view name) const {
    const Operand& o = operands_[i];
    return o.What == Operand::Kind::Position ? o.Position == k : NameMatches(o, name, Folded(name));
}

bool EntrySelection::Excluded(std::string_view name) const {
    return std::any_of(rules_.Excludes.begin(), rules_.Excludes.end(), [&](const auto& pattern) {
        return archive::MatchesPattern(pattern, name, rules_.IgnoreCase);
    });
}

bool EntrySelection::Selects(std::int64_t k, std::string_view name) const {
    if (Excluded(name))
        return false;
    return Every() || numbered_.contains(k) || SelectsByName(name);
}

bool EntrySelection::SelectsByName(std::string_view name) const {
    const std::string folded = Folded(name);
    return names_.contains(folded) ||
           std::any_of(operands_.begin(), operands_.end(), [&](const Operand& o) {
               return o.What == Operand::Kind::Pattern && NameMatches(o, name, folded);
           });
}

void EntrySelection::Resolve(const archive::Archive& archive, std::error_code& ec) {
    std::set<std::string, std::less<>> found; // the name operands found so far
    count_ = static_cast<int>(archive.WalkDirectory(
        [&](int k, const archive::ArchiveEntry& e) {
            const auto byNumber = numbered_.find(k);
            if (byNumber != numbered_.end())
                byNumber->second = e.Name;
            if (!anyName_)
                return true;
            const std::string folded = Folded(e.Name);
            if (names_.contains(folded))
                found.insert(folded);
            for (Operand& o : operands_)
                if (!o.Matched && o.What == Operand::Kind::Pattern)
                    o.Matched = NameMatches(o, e.Name, folded);
            return true;
        },
        ec));
    if (ec)
        return;
    for (Operand& o : operands_) {
        if (o.What == Operand::Kind::Name)
            o.Matched = found.contains(o.Bytes);
        // A position past the directory matches nothing, like a name that no entry has.
        if (o.What == Operand::Kind::Position)
            o.Matched = o.Position < count_;
    }
    for (const auto& [k, name] : numbered_)
        if (k < count_ && !Excluded(name)) {
            positions_.push_back(static_cast<int>(k));
            listed_.push_back(name);
        }
}

std::vector<std::string> EntrySelection::Unmatched() const {
    std::vector<std::string> unmatched;
    for (const Operand& o : operands_)
        if (!o.Matched)
            unmatched.push_back(o.Given);
    return unmatched;
}

archive::NameFilter EntrySelection::ByName() const {
    if (!Every() && !anyName_)
        return {};
    // Positions are handed over on their own; the filter need not know them.
    return [this](std::string_view name) {
        return !Excluded(name) && (Every() || SelectsByName(name));
    };
}

} // namespace cli
