#include "ui/main/EntryModel.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string_view>
#include <utility>

EntryModel::EntryModel(QObject* parent) : QAbstractTableModel(parent) {}

void EntryModel::SetRecords(archive::EntryList records) {
    beginResetModel();
    names_.clear();
    names_.reserve(qsizetype(records.size()));
    for (std::size_t k = 0; k < records.size(); ++k) {
        const std::string_view name = records.Name(k);
        names_.append(QString::fromLocal8Bit(name.data(), qsizetype(name.size())));
    }
    records_ = std::move(records);
    recordOf_ = Sorted();
    rows_.resize(recordOf_.size());
    for (std::size_t row = 0; row < recordOf_.size(); ++row)
        rows_[std::size_t(recordOf_[row])] = int(row);
    endResetModel();
}

int EntryModel::Record(int row) const {
    return row >= 0 && std::size_t(row) < recordOf_.size() ? recordOf_[std::size_t(row)] : -1;
}

int EntryModel::Row(int record) const {
    return record >= 0 && std::size_t(record) < rows_.size() ? rows_[std::size_t(record)] : -1;
}

int EntryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(recordOf_.size());
}

int EntryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EntryModel::data(const QModelIndex& index, int role) const {
    const int k = Record(index.row());
    if (k < 0)
        return {};
    if (role == Qt::TextAlignmentRole && index.column() != Name)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    if (index.column() == Name)
        return names_[k];
    const archive::ArchiveEntry entry = records_[std::size_t(k)];
    return locale_.toString(qint64(index.column() == Size ? entry.Size : entry.Offset));
}

Qt::ItemFlags EntryModel::flags(const QModelIndex& index) const {
    return QAbstractTableModel::flags(index) |
           (index.isValid() ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
}

QVariant EntryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole && section != Name)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Name:
        return QStringLiteral("Name");
    case Size:
        return QStringLiteral("Size");
    case Offset:
        return QStringLiteral("Offset");
    default:
        return {};
    }
}

std::vector<int> EntryModel::Sorted() const {
    std::vector<int> rows(records_.size());
    std::iota(rows.begin(), rows.end(), 0);
    // Equal keys keep directory order either way: a stable sort, the other way round when
    // descending.
    const auto sortBy = [&](const auto& less) {
        if (order_ == Qt::AscendingOrder)
            std::stable_sort(rows.begin(), rows.end(), less);
        else
            std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return less(b, a); });
    };
    if (column_ == Name) {
        sortBy([&](int a, int b) { return names_[a].compare(names_[b], Qt::CaseInsensitive) < 0; });
    } else if (column_ == Size || column_ == Offset) {
        // The keys decoded once, rather than in every comparison.
        std::vector<std::int32_t> keys(records_.size());
        for (std::size_t k = 0; k < keys.size(); ++k) {
            const archive::ArchiveEntry entry = records_[k];
            keys[k] = column_ == Size ? entry.Size : entry.Offset;
        }
        sortBy([&](int a, int b) { return keys[std::size_t(a)] < keys[std::size_t(b)]; });
    }
    return rows;
}

void EntryModel::sort(int column, Qt::SortOrder order) {
    column_ = column >= 0 && column < ColumnCount ? column : -1;
    order_ = order;
    std::vector<int> sorted = Sorted();
    if (sorted == recordOf_)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const std::vector<int> before = std::exchange(recordOf_, std::move(sorted));
    for (std::size_t row = 0; row < recordOf_.size(); ++row)
        rows_[std::size_t(recordOf_[row])] = int(row);
    // Each persistent index to the row its record is on now.
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& index : from)
        to.append(
            index.isValid()
                ? this->index(rows_[std::size_t(before[std::size_t(index.row())])], index.column())
                : QModelIndex());
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
