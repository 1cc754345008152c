#pragma once

#include "core/compare/search_record.h"
#include "core/store/id_name_list.h"
#include "gui/folders/folder_load.h"

#include <QList>
#include <QTreeWidget>

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

class QMenu;

namespace tallyhawk
{

class ListRows;

// The tree under the folder buttons that narrows a list folder to one store, one category or one
// saved price comparison. Each item knows what it stands for and its id (0 for a root).
class ViewTree : public QTreeWidget
{
    Q_OBJECT

public:
    enum class Stands
    {
        Store = 1,
        Category = 2,
        Comparison = 3,
    };

    explicit ViewTree(QWidget* parent = nullptr);

    // The store root (named `storeRoot`) over `stores` and "All Categories" over `categories`, each
    // only when it has entries; "No Items Found" when both are empty.
    void ShowLists(const QString& storeRoot, const IdNameList& stores, const IdNameList& categories);
    // "Online Prices" over the saved comparisons, newest first; "No Items Found" when there are none.
    void ShowComparisons(const std::vector<SearchRecord>& records);
    // A load's tree: emptied first when `rebuild`, then the lists or the comparisons it has, if any.
    void Show(const std::optional<TreeContent>& tree, bool rebuild);

    // Marks the entry the view is narrowed to as chosen, without choosing it again, and brings it into
    // sight; nothing for an id of 0 or an entry the tree does not hold. Its text, or nothing.
    std::optional<QString> ShowChosen(Stands stands, std::int32_t id);
    // The rows each store and category entry has: the rows of the load the tree was built from.
    void CountRows(const ListRows& rows);
    // A row of `storeId` and `categoryId` went: an entry left with no rows goes too, a root left with no
    // entries with it. The chosen entry going chooses its root, so the view shows what the tree offers.
    void RowRemoved(std::int32_t storeId, std::int32_t categoryId);
    // The commands of the tree's context menu, in order; a null entry stands for a separator.
    void SetMenuActions(const QList<QAction*>& actions);
    QMenu* menu() const { return menu_; }

    static Stands StandsFor(const QTreeWidgetItem& item);
    static std::int32_t IdOf(const QTreeWidgetItem& item);

signals:
    void chosen(tallyhawk::ViewTree::Stands stands, std::int32_t id, const QString& text);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QTreeWidgetItem* Find(Stands stands, std::int32_t id) const;
    // Drops the entry of `stands` and `id` when it has no rows left, and its root when that is left
    // empty. The root to choose when the entry was the chosen one and its root stays; else null.
    QTreeWidgetItem* DropIfEmpty(Stands stands, std::int32_t id);
    QTreeWidgetItem* AddRoot(const QString& text, Stands stands);
    static void AddChild(QTreeWidgetItem* root, const QString& text, Stands stands, std::int32_t id);
    void AddList(const QString& rootText, Stands stands, const IdNameList& list);

    QMenu* menu_;
    // Rows per store and category entry, by what it stands for and its id.
    std::map<std::pair<Stands, std::int32_t>, int> rows_;
    // The tree selects an entry itself: no choice goes out.
    bool marking_ = false;
};

} // namespace tallyhawk
