#pragma once

#include <QStringView>

#include <cstdint>
#include <optional>
#include <vector>

// The order of a section's keys as clsINI places them one by one: a numeric key stops at the
// first key that is not numeric or whose value is greater, any other key at the first key whose
// name is greater in ordinal comparison (UTF-16 code units). The rule is not a consistent order,
// so it cannot be had by sorting; this index finds each stop in logarithmic time instead of
// scanning all keys before it.
class clsKeyOrder {
public:
    // Whether a key arriving with the name arriving (and its numeric value) stops the scan at
    // the key named existing (with its numeric value).
    static bool StopsAt(QStringView existing, std::optional<qint32> existingNumber,
                        QStringView arriving, std::optional<qint32> arrivingNumber);

    // Places the next key; the name must stay valid while this object lives. Returns the key's
    // position among the keys placed so far.
    qsizetype Insert(QStringView Name);
    // The keys' arrival numbers (0 for the first inserted) in their order.
    std::vector<qint32> Order() const;

private:
    // A node of a treap ordered by position; each subtree knows what the scan needs to decide
    // whether it stops somewhere inside: whether it holds a non-numeric name, its largest
    // numeric value and its greatest name.
    struct Node {
        qint32 Left = -1;
        qint32 Right = -1;
        std::uint32_t Priority = 0;
        qint32 Size = 1;
        std::optional<qint32> Number;
        bool AnyNonNumeric = false;
        qint32 MaxNumber = 0;   // of the subtree's numeric names; meaningful when HasNumber
        bool HasNumber = false; // the subtree holds a numeric name
        qint32 Greatest = -1;   // the node of the subtree's greatest name
    };

    void Update(qint32 t);
    bool SubtreeStops(qint32 t, QStringView name, std::optional<qint32> number) const;
    bool NodeStops(qint32 t, QStringView name, std::optional<qint32> number) const;
    void Split(qint32 t, qint32 count, qint32& left, qint32& right);
    qint32 Merge(qint32 left, qint32 right);

    std::vector<Node> Nodes;
    std::vector<QStringView> Names;
    qint32 Root = -1;
    std::uint32_t Random = 0x9E3779B9u;
};
