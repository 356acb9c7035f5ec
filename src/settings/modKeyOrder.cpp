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
    explicit Placed(std::size_t count) { Nodes.reserve(count); }

    void Insert(const Key& key) {
        Random ^= Random << 13; // xorshift: the balance owes nothing to the input
        Random ^= Random >> 17;
        Random ^= Random << 5;
        Node node;
        node.Priority = Random;
        node.Number = key.Number;
        node.Rank = key.Rank;
        Nodes.push_back(node);
        const qint32 added = static_cast<qint32>(Nodes.size() - 1);
        Update(added);
        Root = InsertInto(Root, added, key);
    }

    // The nodes (numbered by arrival) in their order.
    std::vector<qint32> InOrder() const {
        std::vector<qint32> order;
        order.reserve(Nodes.size());
        std::vector<qint32> path;
        for (qint32 t = Root; t >= 0 || !path.empty();) {
            if (t >= 0) {
                path.push_back(t);
                t = Nodes[t].Left;
            } else {
                t = path.back();
                path.pop_back();
                order.push_back(t);
                t = Nodes[t].Right;
            }
        }
        return order;
    }

private:
    struct Node {
        qint32 Left = -1;
        qint32 Right = -1;
        qint32 Size = 1;
        std::uint32_t Priority = 0;
        qint32 Rank = 0;
        std::optional<qint32> Number;
        qint32 MaxRank = 0;
        qint32 MaxNumber = 0;   // of the subtree's numeric names, when HasNumber
        bool HasNumber = false; // the subtree holds a numeric name
        bool AnyNonNumeric = false;
    };

    static bool Stops(qint32 rank, std::optional<qint32> number, const Key& key) {
        if (key.Number)
            return !number || *number > *key.Number;
        return rank > key.Rank;
    }

    bool SubtreeStops(qint32 t, const Key& key) const {
        if (t < 0)
            return false;
        const Node& n = Nodes[t];
        if (key.Number)
            return n.AnyNonNumeric || (n.HasNumber && n.MaxNumber > *key.Number);
        return n.MaxRank > key.Rank;
    }

    // Puts the node added before the first key of t's subtree at which the scan stops, or at
    // the subtree's end, in one descent; returns the subtree's new root.
    qint32 InsertInto(qint32 t, qint32 added, const Key& key) {
        if (t < 0)
            return added;
        Node& n = Nodes[t];
        if (SubtreeStops(n.Left, key) || Stops(n.Rank, n.Number, key)) {
            n.Left = InsertInto(n.Left, added, key);
            if (Nodes[n.Left].Priority > n.Priority)
                return Rotate(t, true);
        } else {
            n.Right = InsertInto(n.Right, added, key);
            if (Nodes[n.Right].Priority > n.Priority)
                return Rotate(t, false);
        }
        Update(t);
        return t;
    }

    // Lifts t's left (or right) child above t; returns it.
    qint32 Rotate(qint32 t, bool left) {
        Node& n = Nodes[t];
        const qint32 child = left ? n.Left : n.Right;
        Node& c = Nodes[child];
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
        Node& n = Nodes[t];
        n.Size = 1;
        n.MaxRank = n.Rank;
        n.HasNumber = n.Number.has_value();
        n.MaxNumber = n.Number.value_or(0);
        n.AnyNonNumeric = !n.HasNumber;
        for (const qint32 child : {n.Left, n.Right}) {
            if (child < 0)
                continue;
            const Node& c = Nodes[child];
            n.Size += c.Size;
            n.MaxRank = std::max(n.MaxRank, c.MaxRank);
            if (c.HasNumber)
                n.MaxNumber = n.HasNumber ? std::max(n.MaxNumber, c.MaxNumber) : c.MaxNumber;
            n.HasNumber = n.HasNumber || c.HasNumber;
            n.AnyNonNumeric = n.AnyNonNumeric || c.AnyNonNumeric;
        }
    }

    std::vector<Node> Nodes;
    qint32 Root = -1;
    std::uint32_t Random = 0x9E3779B9u;
};

} // namespace

bool StopsAt(QStringView existing, std::optional<qint32> existingNumber, QStringView arriving,
             std::optional<qint32> arrivingNumber) {
    if (arrivingNumber)
        return !existingNumber || *existingNumber > *arrivingNumber;
    return Greater(existing, arriving);
}

std::vector<qint32> Order(const std::vector<QStringView>& names) {
    // The names' ranks: sorted once, so that the index compares whole numbers only.
    std::vector<qint32> sorted(names.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    std::sort(sorted.begin(), sorted.end(),
              [&](qint32 a, qint32 b) { return Greater(names[b], names[a]); });
    std::vector<Key> keys(names.size());
    qint32 rank = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i > 0 && Greater(names[sorted[i]], names[sorted[i - 1]]))
            ++rank;
        keys[sorted[i]].Rank = rank;
    }

    Placed placed(names.size());
    for (std::size_t k = 0; k < names.size(); ++k) {
        keys[k].Number = modNumberParser::NumericName(names[k]);
        placed.Insert(keys[k]);
    }
    return placed.InOrder();
}

} // namespace modKeyOrder
