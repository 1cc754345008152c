#include "gui/app/item_list_model.h"

#include <QFont>

#include <utility>

namespace tallyhawk
{

ItemListModel::ItemListModel(QObject* parent)
    : QAbstractItemModel(parent)
{ }

void ItemListModel::Reset(ListRows list)
{
    beginResetModel();
    list_ = std::move(list);
    list_.keys.resize(list_.rows.size());
    endResetModel();
}

RowKey ItemListModel::key(int row) const
{
    if (row < 0 || row >= rowCount()) {
        return {};
    }
    return list_.keys[static_cast<std::size_t>(row)];
}

RowRecord ItemListModel::record(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= list_.records.size()) {
        return {};
    }
    return list_.records[static_cast<std::size_t>(row)];
}

void ItemListModel::RemoveRow(int row)
{
    if (row < 0 || row >= rowCount()) {
        return;
    }
    beginRemoveRows({}, row, row);
    list_.rows.erase(list_.rows.begin() + row);
    list_.keys.erase(list_.keys.begin() + row);
    list_.records.erase(list_.records.begin() + row);
    endRemoveRows();
}

void ItemListModel::MarkRead(int row)
{
    if (row < 0 || row >= rowCount()) {
        return;
    }
    list_.keys[static_cast<std::size_t>(row)].unread = false;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1), {Qt::FontRole});
}

QModelIndex ItemListModel::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount()) {
        return {};
    }
    return createIndex(row, column);
}

QModelIndex ItemListModel::parent(const QModelIndex&) const
{
    return {};
}

int ItemListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(list_.rows.size());
}

int ItemListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(list_.headers.size());
}

QVariant ItemListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const auto row = static_cast<std::size_t>(index.row());
    if (role == Qt::FontRole && list_.keys[row].unread) {
        // Unread rows stand out by weight, which reads on any palette.
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    const QStringList& texts = list_.rows[row];
    return index.column() < texts.size() ? texts[index.column()] : QString();
}

QVariant ItemListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= list_.headers.size()) {
        return {};
    }
    return list_.headers[section];
}

} // namespace tallyhawk
