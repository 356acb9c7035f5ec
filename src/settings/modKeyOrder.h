#pragma once

#include <QStringView>

#include <optional>
#include <vector>

// The order of a section's keys as clsINI places them one by one: a numeric key stops at the
// first key that is not numeric or whose value is greater, any other key at the first key whose
// name is greater in ordinal comparison (UTF-16 code units); a key goes before the key it stops
// at, or at the end. The rule is not a consistent order, so it cannot be had by sorting.
namespace modKeyOrder {

// Whether a key arriving with the name arriving (and its numeric value) stops the scan at the
// key named existing (with its numeric value).
bool StopsAt(QStringView existing, std::optional<qint32> existingNumber, QStringView arriving,
             std::optional<qint32> arrivingNumber);

// Where keys arriving with these names in this order end up: their arrival numbers (0 for the
// first) in their final order. Each name's number is parsed once, and each key's stop is found
// in logarithmic time instead of by a scan of every key before it.
std::vector<qint32> Order(const std::vector<QStringView>& names);

// Follows keys as they arrive and tells whether each one so far went to the end, as in a file
// whose keys stand in the order that loading gives them (one this program wrote, say). While
// it holds, arrival order is the final order and Order is not needed. The names must stay
// valid while the check is used.
class EndCheck {
public:
    void Add(QStringView name);
    bool Holds() const { return holds_; }

private:
    bool holds_ = true;
    bool any_ = false;
    QStringView greatest_;          // the greatest name so far
    bool anyNonNumeric_ = false;
    std::optional<qint32> largest_; // the largest numeric value so far
};

} // namespace modKeyOrder
