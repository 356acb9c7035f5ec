#include "settings/modKeyOrder.h"

#include "settings/modNumberParser.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace modKeyOrder {

namespace {

bool Greater(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseSensitive) > 0; // UTF-16 code units, a proper prefix first
}

// A key as the scan sees it: its name's place among all the section's names (equal names
// share one), and for a numeric key its value's place among the section's values. A key that is
// not numeric has a value place above them all, since it stops every numeric key.
struct Key {
    qint32 Rank = 0;
    qint32 Value = 0;
    bool Numeric = false;
};

// Whether the scan for key stops at a key of these places, or somewhere in a group of keys
// whose greatest places they are.
bool Stops(const Key& key, qint32 rank, qint32 value) {
    return key.Numeric ? value > key.Value : rank > key.Rank;
}

// The keys placed so far, in order, in a B-tree: a leaf holds keys, an inner node holds its
// children with the greatest places in each. A descent takes the first child in which the scan
// stops, or the last; a node is read in one sweep, and the tree has few levels.
class Placed {
public:
    explicit Placed(std::size_t count) {
        nodes_.reserve(count / (Fanout / 2) + 8);
        nodes_.emplace_back();
    }

    void Insert(const Key& key, qint32 arrival) {
        path_.clear();
        qint32 t = root_;
        while (!nodes_[t].Leaf) {
            Node& n = nodes_[t];
            qint32 slot = FirstStop(n, key);
            slot = std::min(slot, n.Count - 1);
            n.Rank[slot] = std::max(n.Rank[slot], key.Rank);
            n.Value[slot] = std::max(n.Value[slot], key.Value);
            path_.push_back({t, slot});
            t = n.Item[slot];
        }
        Put(t, FirstStop(nodes_[t], key), arrival, key.Rank, key.Value);
        // A node over its size splits, and its parent takes the new half after it.
        while (nodes_[t].Count > Fanout) {
            const qint32 upper = Split(t);
            if (path_.empty()) {
                const qint32 root = New(false);
                Put(root, 0, t, 0, 0);
                Put(root, 1, upper, 0, 0);
                Sum(root, 0);
                Sum(root, 1);
                root_ = root;
                break;
            }
            const auto [parent, slot] = path_.back();
            path_.pop_back();
            Sum(parent, slot);
            Put(parent, slot + 1, upper, 0, 0);
            Sum(parent, slot + 1);
            t = parent;
        }
    }

    // The arrival numbers in their order.
    std::vector<qint32> InOrder() const {
        std::vector<qint32> order;
        Collect(root_, order);
        return order;
    }

private:
    static constexpr qint32 Fanout = 16;

    struct Node {
        bool Leaf = true;
        qint32 Count = 0;
        qint32 Item[Fanout + 1]; // arrival numbers in a leaf, children in an inner node
        qint32 Rank[Fanout + 1]; // a key's places, or the greatest in a child
        qint32 Value[Fanout + 1];
    };

    static qint32 FirstStop(const Node& n, const Key& key) {
        qint32 slot = 0;
        while (slot < n.Count && !Stops(key, n.Rank[slot], n.Value[slot]))
            ++slot;
        return slot;
    }

    qint32 New(bool leaf) {
        nodes_.emplace_back();
        nodes_.back().Leaf = leaf;
        return static_cast<qint32>(nodes_.size() - 1);
    }

    void Put(qint32 t, qint32 slot, qint32 item, qint32 rank, qint32 value) {
        Node& n = nodes_[t];
        for (qint32 i = n.Count; i > slot; --i) {
            n.Item[i] = n.Item[i - 1];
            n.Rank[i] = n.Rank[i - 1];
            n.Value[i] = n.Value[i - 1];
        }
        n.Item[slot] = item;
        n.Rank[slot] = rank;
        n.Value[slot] = value;
        ++n.Count;
    }

    // Moves the upper half of t into a new node; returns it.
    qint32 Split(qint32 t) {
        const qint32 upper = New(nodes_[t].Leaf);
        Node& n = nodes_[t];
        Node& u = nodes_[upper];
        const qint32 keep = n.Count / 2;
        u.Count = n.Count - keep;
        std::copy(n.Item + keep, n.Item + n.Count, u.Item);
        std::copy(n.Rank + keep, n.Rank + n.Count, u.Rank);
        std::copy(n.Value + keep, n.Value + n.Count, u.Value);
        n.Count = keep;
        return upper;
    }

    // Sets the greatest places of parent's child in slot from the child's entries.
    void Sum(qint32 parent, qint32 slot) {
        Node& p = nodes_[parent];
        const Node& c = nodes_[p.Item[slot]];
        p.Rank[slot] = *std::max_element(c.Rank, c.Rank + c.Count);
        p.Value[slot] = *std::max_element(c.Value, c.Value + c.Count);
    }

    void Collect(qint32 t, std::vector<qint32>& order) const {
        const Node& n = nodes_[t];
        for (qint32 i = 0; i < n.Count; ++i) {
            if (n.Leaf)
                order.push_back(n.Item[i]);
            else
                Collect(n.Item[i], order);
        }
    }

    std::vector<Node> nodes_;
    qint32 root_ = 0;
    std::vector<std::pair<qint32, qint32>> path_; // the inner nodes and slots of a descent
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
    // The values' places; a key that is not numeric takes the place above them all.
    std::vector<qint32> values;
    values.reserve(numeric);
    for (const std::optional<qint32>& number : numbers)
        if (number)
            values.push_back(*number);
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    for (std::size_t k = 0; k < names.size(); ++k) {
        keys[k].Numeric = numbers[k].has_value();
        keys[k].Value = static_cast<qint32>(
            numbers[k] ? std::lower_bound(values.begin(), values.end(), *numbers[k]) - values.begin()
                       : values.size());
    }

    Placed placed(names.size());
    for (std::size_t k = 0; k < names.size(); ++k)
        placed.Insert(keys[k], static_cast<qint32>(k));
    return placed.InOrder();
}

} // namespace modKeyOrder
