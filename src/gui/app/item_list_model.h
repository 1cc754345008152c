#pragma once

#include "gui/app/list_rows.h"

#include <QAbstractItemModel>
#include <QStringList>

#include <vector>

namespace tallyhawk
{

// The rows of the current folder as plain text columns, one row per record of the folder's view.
class ItemListModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit ItemListModel(QObject* parent = nullptr);

    // Replaces the headers and the rows in one reset.
    void Reset(ListRows list);
    void Clear() { Reset({}); }
    // The record a row stands for; a default key outside the rows.
    RowKey key(int row) const;
    // The record behind a row; nothing outside the rows.
    RowRecord record(int row) const;
    void RemoveRow(int row);
    // Shows the row as read from now on.
    void MarkRead(int row);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    ListRows list_;
};

} // namespace tallyhawk
