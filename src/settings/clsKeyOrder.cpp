#include "settings/clsKeyOrder.h"

#include "settings/modNumberParser.h"

namespace {

bool Greater(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseSensitive) > 0; // UTF-16 code units, a proper prefix first
}

} // namespace

bool clsKeyOrder::StopsAt(QStringView existing, std::optional<qint32> existingNumber,
                          QStringView arriving, std::optional<qint32> arrivingNumber) {
    if (arrivingNumber)
        return !existingNumber || *existingNumber > *arrivingNumber;
    return Greater(existing, arriving);
}

void clsKeyOrder::Update(qint32 t) {
    Node& n = Nodes[t];
    n.Size = 1;
    n.AnyNonNumeric = !n.Number;
    n.HasNumber = n.Number.has_value();
    n.MaxNumber = n.Number.value_or(0);
    n.Greatest = t;
    for (const qint32 child : {n.Left, n.Right}) {
        if (child < 0)
            continue;
        const Node& c = Nodes[child];
        n.Size += c.Size;
        n.AnyNonNumeric = n.AnyNonNumeric || c.AnyNonNumeric;
        if (c.HasNumber && (!n.HasNumber || c.MaxNumber > n.MaxNumber))
            n.MaxNumber = c.MaxNumber;
        n.HasNumber = n.HasNumber || c.HasNumber;
        if (Greater(Names[c.Greatest], Names[n.Greatest]))
            n.Greatest = c.Greatest;
    }
}

bool clsKeyOrder::NodeStops(qint32 t, QStringView name, std::optional<qint32> number) const {
    return StopsAt(Names[t], Nodes[t].Number, name, number);
}

// Whether the scan stops at some key of the subtree: exactly when it stops at the subtree's
// non-numeric name or its largest number (numeric scan) or at its greatest name (other scan).
bool clsKeyOrder::SubtreeStops(qint32 t, QStringView name, std::optional<qint32> number) const {
    if (t < 0)
        return false;
    const Node& n = Nodes[t];
    if (number)
        return n.AnyNonNumeric || (n.HasNumber && n.MaxNumber > *number);
    return Greater(Names[n.Greatest], name);
}

void clsKeyOrder::Split(qint32 t, qint32 count, qint32& left, qint32& right) {
    if (t < 0) {
        left = right = -1;
        return;
    }
    const qint32 leftSize = Nodes[t].Left < 0 ? 0 : Nodes[Nodes[t].Left].Size;
    if (count <= leftSize) {
        Split(Nodes[t].Left, count, left, Nodes[t].Left);
        right = t;
    } else {
        Split(Nodes[t].Right, count - leftSize - 1, Nodes[t].Right, right);
        left = t;
    }
    Update(t);
}

qint32 clsKeyOrder::Merge(qint32 left, qint32 right) {
    if (left < 0)
        return right;
    if (right < 0)
        return left;
    if (Nodes[left].Priority > Nodes[right].Priority) {
        Nodes[left].Right = Merge(Nodes[left].Right, right);
        Update(left);
        return left;
    }
    Nodes[right].Left = Merge(left, Nodes[right].Left);
    Update(right);
    return right;
}

qsizetype clsKeyOrder::Insert(QStringView Name) {
    const std::optional<qint32> number = modNumberParser::NumericName(Name);

    // The first position where the scan from the start would stop: the leftmost stop.
    qint32 position = 0;
    for (qint32 t = Root; t >= 0;) {
        const Node& n = Nodes[t];
        if (SubtreeStops(n.Left, Name, number)) {
            t = n.Left;
            continue;
        }
        position += n.Left < 0 ? 0 : Nodes[n.Left].Size;
        if (NodeStops(t, Name, number))
            break;
        ++position;
        t = n.Right;
    }

    const qint32 added = static_cast<qint32>(Nodes.size());
    Random ^= Random << 13; // xorshift: balance without any input's help
    Random ^= Random >> 17;
    Random ^= Random << 5;
    Node node;
    node.Priority = Random;
    node.Number = number;
    Nodes.push_back(node);
    Names.push_back(Name);
    Update(added);
    qint32 left = -1;
    qint32 right = -1;
    Split(Root, position, left, right);
    Root = Merge(Merge(left, added), right);
    return position;
}

std::vector<qint32> clsKeyOrder::Order() const {
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
