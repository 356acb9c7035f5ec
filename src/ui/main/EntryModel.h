#pragma once

#include "archive/Directory.h"

#include <QAbstractTableModel>
#include <QLocale>
#include <QStringList>

#include <vector>

// The entries of one archive as a table for the entry list: Name, Size and Offset, one row per
// record. The rows are a view of the records: sorted by a column, or in directory order (row k
// showing record k). Positions outside are always the records'; Record and Row translate.
// Sorting is a permutation of numbers, so it costs little more than sorting the keys.
class EntryModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Name, Size, Offset, ColumnCount };

    explicit EntryModel(QObject* parent = nullptr);

    // Shows these records (names decoded in the system's code page), sorted as before.
    void SetRecords(archive::EntryList records);
    const archive::EntryList& Records() const { return records_; }
    // Record k's name as shown; "" past the last one.
    QString ShownName(int k) const { return names_.value(k); }

    // The record a row shows and the row that shows a record; -1 for none.
    int Record(int row) const;
    int Row(int record) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // Lines may be dragged out: a press on a selected line then leaves it selected.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Sorts the rows by a column, records of equal keys in directory order; -1 brings back
    // directory order. Persistent indexes (the selection, the current row) follow their
    // records.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    // The rows in the order asked for: directory order, or sorted by the column.
    std::vector<int> Sorted() const;

    archive::EntryList records_;
    QStringList names_;
    std::vector<int> recordOf_; // the record each row shows
    std::vector<int> rows_;     // the row each record is on
    int column_ = -1;
    Qt::SortOrder order_ = Qt::AscendingOrder;
    QLocale locale_;
};
