#include "settings/modKeyOrder.h"

#include "settings/modNumberParser.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace modKeyOrder {

namespace {

bool Greater(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseSensitive) > 0; // UTF-16 code units, a proper prefix first
}

// A key as the scan sees it: its name's place among all the section's names (equal names
// share one) and its numeric value.
struct Key {
    qint32 Rank = 0;
    std::optional<qint32> Number;
};

// The keys placed so far, in a treap ordered by position. Each subtree knows what decides
// whether the scan stops somewhere inside it: whether it holds a non-numeric name and its
// largest number (for a numeric key), and its greatest name (for any other).
class Placed {
public:
    explicit Placed(std::size_t count) { nodes_.reserve(count); }

    void Insert(const Key& key) {
        Node node;
        node.Rank = key.Rank;
        node.Numeric = key.Number.has_value();
        node.Number = key.Number.value_or(0);
        nodes_.push_back(node);
        const qint32 added = static_cast<qint32>(nodes_.size() - 1);
        Update(added);
        root_ = InsertInto(root_, added, key);
    }

    // The nodes (numbered by arrival) in their order.
    std::vector<qint32> InOrder() const {
        std::vector<qint32> order;
        order.reserve(nodes_.size());
        std::vector<qint32> path;
        for (qint32 t = root_; t >= 0 || !path.empty();) {
            if (t >= 0) {
                path.push_back(t);
                t = nodes_[t].Left;
            } else {
                t = path.back();
                path.pop_back();
                order.push_back(t);
                t = nodes_[t].Right;
            }
        }
        return order;
    }

private:
    // 28 bytes, so that a descent touches few cache lines.
    struct Node {
        qint32 Left = -1;
        qint32 Right = -1;
        qint32 Rank = 0;
        qint32 Number = 0; // when Numeric
        qint32 MaxRank = 0;
        qint32 MaxNumber = 0;   // of the subtree's numeric names, when HasNumber
        bool Numeric = false;
        bool HasNumber = false; // the subtree holds a numeric name
        bool AnyNonNumeric = false;
    };

    // A node's heap priority, from its arrival number: the balance owes nothing to the input.
    static std::uint32_t Priority(qint32 t) {
        std::uint32_t x = static_cast<std::uint32_t>(t + 1) * 0x9E3779B9u;
        x ^= x >> 16;
        x *= 0x85EBCA6Bu;
        x ^= x >> 13;
        return x;
    }

    static bool Stops(const Node& n, const Key& key) {
        if (key.Number)
            return !n.Numeric || n.Number > *key.Number;
        return n.Rank > key.Rank;
    }

    bool SubtreeStops(qint32 t, const Key& key) const {
        if (t < 0)
            return false;
        const Node& n = nodes_[t];
        if (key.Number)
            return n.AnyNonNumeric || (n.HasNumber && n.MaxNumber > *key.Number);
        return n.MaxRank > key.Rank;
    }

    // Puts the node added before the first key of t's subtree at which the scan stops, or at
    // the subtree's end, in one descent; returns the subtree's new root.
    qint32 InsertInto(qint32 t, qint32 added, const Key& key) {
        if (t < 0)
            return added;
        // The node itself is looked at first, which spares reading its left child when it stops.
        if (Stops(nodes_[t], key) || SubtreeStops(nodes_[t].Left, key)) {
            const qint32 left = InsertInto(nodes_[t].Left, added, key);
            nodes_[t].Left = left;
            if (Priority(left) > Priority(t))
                return Rotate(t, true);
        } else {
            const qint32 right = InsertInto(nodes_[t].Right, added, key);
            nodes_[t].Right = right;
            if (Priority(right) > Priority(t))
                return Rotate(t, false);
        }
        Update(t);
        return t;
    }

    // Lifts t's left (or right) child above t; returns it.
    qint32 Rotate(qint32 t, bool left) {
        Node& n = nodes_[t];
        const qint32 child = left ? n.Left : n.Right;
        Node& c = nodes_[child];
        if (left) {
            n.Left = c.Right;
            c.Right = t;
        } else {
            n.Right = c.Left;
            c.Left = t;
        }
        Update(t);
        Update(child);
        return child;
    }

    void Update(qint32 t) {
        Node& n = nodes_[t];
        n.MaxRank = n.Rank;
        n.HasNumber = n.Numeric;
        n.MaxNumber = n.Number;
        n.AnyNonNumeric = !n.Numeric;
        for (const qint32 child : {n.Left, n.Right}) {
            if (child < 0)
                continue;
            const Node& c = nodes_[child];
            n.MaxRank = std::max(n.MaxRank, c.MaxRank);
            if (c.HasNumber)
                n.MaxNumber = n.HasNumber ? std::max(n.MaxNumber, c.MaxNumber) : c.MaxNumber;
            n.HasNumber = n.HasNumber || c.HasNumber;
            n.AnyNonNumeric = n.AnyNonNumeric || c.AnyNonNumeric;
        }
    }

    std::vector<Node> nodes_;
    qint32 root_ = -1;
};

} // namespace

bool StopsAt(QStringView existing, std::optional<qint32> existingNumber, QStringView arriving,
             std::optional<qint32> arrivingNumber) {
    if (arrivingNumber)
        return !existingNumber || *existingNumber > *arrivingNumber;
    return Greater(existing, arriving);
}

void EndCheck::Add(QStringView name) {
    if (!holds_)
        return;
    const std::optional<qint32> number = modNumberParser::NumericName(name);
    if (any_) {
        // A numeric key goes to the end when no key so far is non-numeric or larger, any other
        // key when no name so far is greater.
        holds_ = number ? !anyNonNumeric_ && (!largest_ || *largest_ <= *number)
                        : !Greater(greatest_, name);
    }
    if (!any_ || Greater(name, greatest_))
        greatest_ = name;
    if (number)
        largest_ = largest_ ? std::max(*largest_, *number) : *number;
    else
        anyNonNumeric_ = true;
    any_ = true;
}

std::vector<qint32> Order(const std::vector<QStringView>& names) {
    std::vector<std::optional<qint32>> numbers(names.size());
    std::size_t numeric = 0;
    for (std::size_t k = 0; k < names.size(); ++k) {
        numbers[k] = modNumberParser::NumericName(names[k]);
        numeric += numbers[k].has_value();
    }
    // Keys of one kind stay sorted as they are placed, each after the keys equal to it: by
    // value when all are numeric, by name when none is.
    if (numeric == names.size() || numeric == 0) {
        std::vector<qint32> order(names.size());
        std::iota(order.begin(), order.end(), 0);
        if (numeric == 0)
            std::stable_sort(order.begin(), order.end(),
                             [&](qint32 a, qint32 b) { return Greater(names[b], names[a]); });
        else
            std::stable_sort(order.begin(), order.end(),
                             [&](qint32 a, qint32 b) { return *numbers[a] < *numbers[b]; });
        return order;
    }

    // Both kinds: the names' ranks, sorted once, so that the index compares whole numbers only.
    // The names are sorted as they are rather than through their numbers, which keeps the
    // comparisons close together in memory.
    std::vector<std::pair<QStringView, qint32>> sorted(names.size());
    for (std::size_t k = 0; k < names.size(); ++k)
        sorted[k] = {names[k], static_cast<qint32>(k)};
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        return Greater(b.first, a.first);
    });
    std::vector<Key> keys(names.size());
    qint32 rank = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i > 0 && Greater(sorted[i].first, sorted[i - 1].first))
            ++rank;
        keys[sorted[i].second].Rank = rank;
    }
    sorted = {};

    Placed placed(names.size());
    for (std::size_t k = 0; k < names.size(); ++k) {
        keys[k].Number = numbers[k];
        placed.Insert(keys[k]);
    }
    return placed.InOrder();
}

} // namespace modKeyOrder
