#include "gui/app/view_tree.h"

#include "gui/controls/command_menu.h"
#include "gui/controls/record_text.h"
#include "gui/controls/theme_icon.h"
#include "gui/views/list_rows.h"

#include <QContextMenuEvent>
#include <QMenu>

namespace tallyhawk
{
namespace
{

constexpr int kStandsRole = Qt::UserRole;
constexpr int kIdRole = Qt::UserRole + 1;

// The same icons as the pickers': a folder for each list, a coin for a saved comparison.
QIcon IconOf(ViewTree::Stands stands, bool root)
{
    return ThemeIcon(stands == ViewTree::Stands::Comparison && !root ? "emblem-money" : "folder");
}

} // namespace

ViewTree::ViewTree(QWidget* parent)
    : QTreeWidget(parent)
    , menu_(new QMenu(this))
{
    menu_->setObjectName(QStringLiteral("treeMenu"));
    setHeaderHidden(true);
    setAccessibleName(QStringLiteral("Stores and categories"));
    // The entry just selected is the choice, and the only one selected: the tree may show the view's
    // earlier choice as selected.
    connect(selectionModel(),
            &QItemSelectionModel::selectionChanged,
            this,
            [this](const QItemSelection& selected, const QItemSelection&) {
                if (selected.isEmpty() || marking_) {
                    return;
                }
                QTreeWidgetItem* item = itemFromIndex(selected.indexes().front());
                if (item == nullptr) {
                    return;
                }
                // Only one entry stays selected, however it was selected.
                marking_ = true;
                selectionModel()->setCurrentIndex(selected.indexes().front(),
                                                  QItemSelectionModel::ClearAndSelect);
                marking_ = false;
                emit chosen(StandsFor(*item), IdOf(*item), item->text(0));
            });
}

void ViewTree::ShowLists(const QString& storeRoot, const IdNameList& stores, const IdNameList& categories)
{
    const QSignalBlocker quiet(this);
    clear();
    AddList(storeRoot, Stands::Store, stores);
    AddList(QStringLiteral("All Categories"), Stands::Category, categories);
    if (topLevelItemCount() == 0) {
        AddRoot(QStringLiteral("No Items Found"), Stands::Category);
    }
    if (stores.Count() > 0) {
        scrollToItem(topLevelItem(0));
    }
}

void ViewTree::ShowComparisons(const std::vector<SearchRecord>& records)
{
    const QSignalBlocker quiet(this);
    clear();
    if (records.empty()) {
        AddRoot(QStringLiteral("No Items Found"), Stands::Comparison);
        return;
    }
    QTreeWidgetItem* root = AddRoot(QStringLiteral("Online Prices"), Stands::Comparison);
    for (const SearchRecord& record : records) {
        AddChild(root, RecordText(record.name), Stands::Comparison, record.id);
    }
    root->setExpanded(true);
}

std::optional<QString> ViewTree::ShowChosen(Stands stands, std::int32_t id)
{
    QTreeWidgetItem* item = id > 0 ? Find(stands, id) : nullptr;
    if (item == nullptr) {
        return std::nullopt;
    }
    // The choice is the view's already: no signal, so nothing loads again. The selection model's own
    // signals still run, since the items keep their selected state through them.
    marking_ = true;
    setCurrentItem(item);
    marking_ = false;
    scrollToItem(item);
    return item->text(0);
}

void ViewTree::CountRows(const ListRows& rows)
{
    rows_.clear();
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const RowKey key = rows.key(row);
        ++rows_[{Stands::Store, key.storeId}];
        ++rows_[{Stands::Category, key.categoryId}];
    }
}

void ViewTree::RowRemoved(std::int32_t storeId, std::int32_t categoryId)
{
    // A tree no load counted (before the first, or of a page without rows) has nothing to drop.
    if (rows_.empty()) {
        return;
    }
    // The store and the category are in lists of their own: dropping one never touches the other's root.
    QTreeWidgetItem* storeRoot = DropIfEmpty(Stands::Store, storeId);
    QTreeWidgetItem* categoryRoot = DropIfEmpty(Stands::Category, categoryId);
    if (topLevelItemCount() == 0) {
        AddRoot(QStringLiteral("No Items Found"), Stands::Category);
    } else if (QTreeWidgetItem* root = storeRoot != nullptr ? storeRoot : categoryRoot) {
        setCurrentItem(root);
    }
}

QTreeWidgetItem* ViewTree::DropIfEmpty(Stands stands, std::int32_t id)
{
    const auto counted = rows_.find({stands, id});
    if (counted == rows_.end() || --counted->second > 0) {
        return nullptr;
    }
    rows_.erase(counted);
    QTreeWidgetItem* item = Find(stands, id);
    if (item == nullptr) {
        return nullptr;
    }
    const bool chosen = item->isSelected();
    QTreeWidgetItem* root = item->parent();
    // Losing the chosen entry chooses nothing by itself (a deselection sends no choice); the caller
    // chooses its root.
    delete item;
    if (root->childCount() == 0) {
        delete root;
        return nullptr;
    }
    return chosen ? root : nullptr;
}

QTreeWidgetItem* ViewTree::Find(Stands stands, std::int32_t id) const
{
    for (int top = 0; top < topLevelItemCount(); ++top) {
        QTreeWidgetItem* root = topLevelItem(top);
        for (int child = 0; child < root->childCount(); ++child) {
            QTreeWidgetItem* item = root->child(child);
            if (StandsFor(*item) == stands && IdOf(*item) == id) {
                return item;
            }
        }
    }
    return nullptr;
}

void ViewTree::SetMenuActions(const QList<QAction*>& actions)
{
    FillMenu(*menu_, actions);
}

void ViewTree::contextMenuEvent(QContextMenuEvent* event)
{
    // The entry under the pointer (from the keyboard, the current one) is chosen first, so the menu's
    // commands act on what the view shows.
    const bool fromKeyboard = event->reason() == QContextMenuEvent::Keyboard;
    QTreeWidgetItem* item = fromKeyboard ? currentItem() : itemAt(event->pos());
    if (item != nullptr) {
        setCurrentItem(item);
    }
    const QPoint at = fromKeyboard && item != nullptr ? visualItemRect(item).center() : event->pos();
    menu_->popup(viewport()->mapToGlobal(at));
    event->accept();
}

ViewTree::Stands ViewTree::StandsFor(const QTreeWidgetItem& item)
{
    return static_cast<Stands>(item.data(0, kStandsRole).toInt());
}

std::int32_t ViewTree::IdOf(const QTreeWidgetItem& item)
{
    return item.data(0, kIdRole).toInt();
}

QTreeWidgetItem* ViewTree::AddRoot(const QString& text, Stands stands)
{
    auto* root = new QTreeWidgetItem(this, QStringList{text});
    root->setIcon(0, IconOf(stands, true));
    root->setData(0, kStandsRole, static_cast<int>(stands));
    root->setData(0, kIdRole, 0);
    return root;
}

void ViewTree::AddChild(QTreeWidgetItem* root, const QString& text, Stands stands, std::int32_t id)
{
    auto* item = new QTreeWidgetItem(root, QStringList{text});
    if (stands == Stands::Comparison) {
        item->setIcon(0, IconOf(stands, false));
    }
    item->setData(0, kStandsRole, static_cast<int>(stands));
    item->setData(0, kIdRole, id);
}

void ViewTree::AddList(const QString& rootText, Stands stands, const IdNameList& list)
{
    if (list.Count() == 0) {
        return;
    }
    QTreeWidgetItem* root = AddRoot(rootText, stands);
    for (const auto& [id, entry] : list) {
        AddChild(root, RecordText(entry.name), stands, id);
    }
    root->setExpanded(true);
}

void ViewTree::Show(const std::optional<TreeContent>& tree, bool rebuild)
{
    if (rebuild) {
        clear();
    }
    if (tree && tree->comparisons) {
        ShowComparisons(tree->searches);
    } else if (tree) {
        ShowLists(tree->storeRoot, tree->stores, tree->categories);
    }
}

} // namespace tallyhawk
