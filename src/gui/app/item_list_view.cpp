#include "gui/app/item_list_view.h"

#include "gui/app/layout_store.h"
#include "gui/app/row_card_delegate.h"
#include "gui/controls/command_menu.h"
#include "gui/views/item_list_model.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>

#include <utility>

namespace tallyhawk
{

ItemListView::ItemListView(ItemListModel* model, QWidget* parent)
    : QTreeView(parent)
    , model_(model)
    , menu_(new QMenu(this))
{
    menu_->setObjectName(QStringLiteral("rowMenu"));
    setObjectName(QStringLiteral("itemList"));
    setModel(model_);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAlternatingRowColors(true);
    // One row at a time, and the commands act on it only while it shows as chosen.
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // The keyboard's row is framed across the whole row, chosen or not, so Enter never acts on a row the
    // user cannot see.
    setAllColumnsShowFocus(true);
    setAccessibleName(QStringLiteral("Items"));
    setItemDelegate(new RowCardDelegate(this));
    header()->resizeSection(0, RowCardDelegate::kCardColumnWidth);
    // The last column takes what the window has left, from the first paint on.
    header()->setStretchLastSection(true);

    // Delete acts only where the rows are, so that the key keeps its meaning in every other field.
    auto* removeKey = new QAction(this);
    removeKey->setShortcut(QKeySequence::Delete);
    removeKey->setShortcutContext(Qt::WidgetShortcut);
    connect(removeKey, &QAction::triggered, this, &ItemListView::deleteRequested);
    addAction(removeKey);
    // Enter on the keyboard's row picks it, as a click would, before it opens.
    connect(this, &QTreeView::activated, this, [this](const QModelIndex& index) {
        setCurrentIndex(index);
        emit openRequested();
    });
    // A row counts as chosen only when it is selected: a click, a keyboard move onto it, Enter. The
    // current row alone (the view puts it on the first row when the list gets the focus) is not.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (takingRows_) {
            return;
        }
        emit rowChosen(selectionModel()->selectedRows().value(0));
    });
    // Widths the user gives the columns are kept for the next refresh and the next save.
    connect(header(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (applyingColumns_ || width <= 0) {
            return;
        }
        const auto index = static_cast<std::size_t>(column);
        if (columnWidths_.size() <= index) {
            columnWidths_.resize(index + 1, 0);
        }
        columnWidths_[index] = width;
    });
}

int ItemListView::ChosenRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

bool ItemListView::ChooseRowOf(std::int32_t id)
{
    for (int row = 0; row < model_->rowCount(); ++row) {
        if (model_->key(row).id == id) {
            const QModelIndex index = model_->index(row, 0);
            setCurrentIndex(index);
            scrollTo(index);
            return true;
        }
    }
    return false;
}

void ItemListView::RemoveRow(int row)
{
    // Nothing chosen afterwards, so that no other row is marked read.
    selectionModel()->clear();
    model_->RemoveRow(row);
    emit rowChosen({});
}

void ItemListView::TakeRows(ListRows rows)
{
    const bool wasChosen = ChosenRow() >= 0;
    QScrollBar* bar = verticalScrollBar();
    const bool atTop = bar->value() == bar->minimum();
    const QModelIndex top = indexAt(QPoint(0, 0));
    const QPersistentModelIndex anchor(top);
    const int offset = top.isValid() ? visualRect(top).top() : 0;
    takingRows_ = true;
    model_->Update(std::move(rows));
    takingRows_ = false;
    // The layout is done at once, so the anchor's place can be read and kept.
    executeDelayedItemsLayout();
    if (!atTop && anchor.isValid()) {
        scrollTo(anchor, QAbstractItemView::PositionAtTop);
        // Scrolled by pixels, the row partly above the top stays as far above it.
        if (verticalScrollMode() == QAbstractItemView::ScrollPerPixel) {
            bar->setValue(bar->value() - offset);
        }
    } else if (atTop) {
        bar->setValue(bar->minimum());
    }
    if (wasChosen && ChosenRow() < 0) {
        emit rowChosen({});
    }
}

void ItemListView::SetMenuActions(const QList<QAction*>& actions)
{
    FillMenu(*menu_, actions);
}

void ItemListView::contextMenuEvent(QContextMenuEvent* event)
{
    // The pointer's row, or from the keyboard the keyboard's row: the commands act on the chosen row,
    // so it becomes the chosen one, as with a click or Enter.
    const bool fromKeyboard = event->reason() == QContextMenuEvent::Keyboard;
    const QModelIndex index = fromKeyboard ? currentIndex() : indexAt(event->pos());
    if (!index.isValid()) {
        return;
    }
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const QPoint at = fromKeyboard ? visualRect(index).center() : event->pos();
    menu_->popup(viewport()->mapToGlobal(at));
    event->accept();
}

void ItemListView::UseColumnWidths(std::vector<int> widths)
{
    columnWidths_ = std::move(widths);
    ApplyColumnWidths();
}

void ItemListView::ApplyColumnWidths()
{
    applyingColumns_ = true;
    // Columns without a saved width keep the cards' own starting widths.
    for (int column = 0; column < header()->count(); ++column) {
        const auto index = static_cast<std::size_t>(column);
        if (index < columnWidths_.size() && columnWidths_[index] > 0) {
            header()->resizeSection(column, columnWidths_[index]);
        }
    }
    applyingColumns_ = false;
}

void ItemListView::SaveColumns(const LayoutStore& layout) const
{
    // The summary page and the empty folders have no columns; their widths are the ones last shown.
    if (header()->count() > 0) {
        layout.SaveColumns(*header());
    } else {
        layout.SaveColumns(columnWidths_);
    }
}

} // namespace tallyhawk
