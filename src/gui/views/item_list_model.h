#pragma once

#include "gui/views/list_rows.h"

#include <QAbstractItemModel>

namespace tallyhawk
{

// The rows of the current folder: one row per record of the folder's view, in two columns (the card
// and its store), with every text made from the record only when it is asked for.
class ItemListModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    // The card's pieces beyond the display texts (column 0: the title; column 1: the store or site).
    enum Role
    {
        DetailRole = Qt::UserRole + 1, // column 0: the line below the title; column 1: the category
        CornerRole, // column 0: the red text at the top right
        RowKindRole, // RowKind as an int
        UnreadRole, // an item not read yet
        HotRole, // a hot item
    };
    static constexpr int kColumnCount = 2;

    explicit ItemListModel(QObject* parent = nullptr);

    // Replaces the rows in one reset.
    void Reset(ListRows list);
    // Replaces the rows with a newer load of the same view: the rows of records still there keep their
    // indexes (so the selection and the current row stay on them), rows of records gone lose theirs.
    void Update(ListRows list);
    void Clear() { Reset({}); }
    // The record a row stands for; a default key outside the rows.
    RowKey key(int row) const;
    // The record behind a row; nothing outside the rows.
    RowRecord record(int row) const;
    void RemoveRow(int row);
    // Shows the row as read from now on.
    void MarkRead(int row);
    const ListRows& rows() const { return list_; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString Text(const RowRecord& record, int column, int role) const;

    ListRows list_;
};

} // namespace tallyhawk
