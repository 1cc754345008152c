#include "gui/views/item_list_model.h"

#include "gui/views/row_card_text.h"

#include <QFont>

#include <map>
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
    endResetModel();
}

void ItemListModel::Update(ListRows list)
{
    // One layout change rather than an insert per row: a pass can bring hundreds of items, anywhere in
    // the order the view sorts by.
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<RowKey> keys;
    keys.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before) {
        keys.push_back(key(index.row()));
    }
    list_ = std::move(list);
    std::map<std::pair<std::int32_t, std::int32_t>, int> rowOf;
    for (int row = 0; row < rowCount(); ++row) {
        const RowKey now = key(row);
        rowOf.try_emplace({now.id, now.kind}, row);
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const RowKey& was = keys[static_cast<std::size_t>(i)];
        const auto found = rowOf.find({was.id, was.kind});
        after.push_back(found == rowOf.end() ? QModelIndex() : index(found->second, before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

RowKey ItemListModel::key(int row) const
{
    return row < 0 ? RowKey{} : list_.key(static_cast<std::size_t>(row));
}

RowRecord ItemListModel::record(int row) const
{
    return row < 0 ? RowRecord{} : list_.record(static_cast<std::size_t>(row));
}

void ItemListModel::RemoveRow(int row)
{
    if (row < 0 || row >= rowCount()) {
        return;
    }
    beginRemoveRows({}, row, row);
    list_.Erase(static_cast<std::size_t>(row));
    endRemoveRows();
}

void ItemListModel::MarkRead(int row)
{
    if (row < 0 || row >= rowCount()) {
        return;
    }
    list_.MarkRead(static_cast<std::size_t>(row));
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

QModelIndex ItemListModel::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= kColumnCount) {
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
    return parent.isValid() ? 0 : static_cast<int>(list_.size());
}

int ItemListModel::columnCount(const QModelIndex& parent) const
{
    // Always both columns, so the header keeps the widths the user gave them across refreshes.
    return parent.isValid() ? 0 : kColumnCount;
}

Qt::ItemFlags ItemListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

QString ItemListModel::Text(const RowRecord& record, int column, int role) const
{
    const auto text = [&](CardPiece piece) {
        return CardText(record, piece, list_.stores(), list_.categories());
    };
    const bool card = column == 0;
    switch (role) {
    case Qt::DisplayRole:
        return text(card ? CardPiece::Title : CardPiece::Side);
    case DetailRole:
    case Qt::ToolTipRole:
        return text(card ? CardPiece::Detail : CardPiece::SideDetail);
    case CornerRole:
        return card ? text(CardPiece::Corner) : QString();
    case Qt::AccessibleTextRole: {
        // What the card shows, for screen readers, which cannot see the drawing.
        if (!card) {
            return text(CardPiece::Side) + QStringLiteral(", ") + text(CardPiece::SideDetail);
        }
        QString all = text(CardPiece::Title);
        if (const QString corner = text(CardPiece::Corner).trimmed(); !corner.isEmpty()) {
            all += QStringLiteral(", ") + corner;
        }
        // The detail's lines are read as parts of one sentence.
        return all + QStringLiteral(", ")
            + text(CardPiece::Detail).replace(QLatin1Char('\n'), QStringLiteral(", "));
    }
    default:
        return {};
    }
}

QVariant ItemListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const RowRecord record = list_.record(static_cast<std::size_t>(index.row()));
    const auto* const* item = std::get_if<const ItemRecord*>(&record);
    switch (role) {
    case RowKindRole:
        return static_cast<int>(KindOf(record));
    case UnreadRole:
        return item != nullptr && (*item)->read == 0;
    case HotRole:
        return item != nullptr && (*item)->hot > 0;
    case Qt::FontRole:
        if (item != nullptr && (*item)->read == 0 && index.column() == 0) {
            // Unread rows stand out by weight, which reads on any palette.
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
    case DetailRole:
    case CornerRole:
        return Text(record, index.column(), role);
    default:
        return {};
    }
}

QVariant ItemListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // Both headings are empty: the cards say what each line is.
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount) {
        return {};
    }
    return QString();
}

} // namespace tallyhawk
