#include "gui/app/item_list_model.h"

#include <utility>

namespace tallyhawk
{

ItemListModel::ItemListModel(QObject* parent)
    : QAbstractItemModel(parent)
{ }

void ItemListModel::Reset(QStringList headers, std::vector<QStringList> rows)
{
    beginResetModel();
    headers_ = std::move(headers);
    rows_ = std::move(rows);
    endResetModel();
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
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ItemListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant ItemListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= rowCount()) {
        return {};
    }
    const QStringList& row = rows_[static_cast<std::size_t>(index.row())];
    return index.column() < row.size() ? row[index.column()] : QString();
}

QVariant ItemListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= headers_.size()) {
        return {};
    }
    return headers_[section];
}

} // namespace tallyhawk
