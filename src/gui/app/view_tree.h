#pragma once

#include "core/compare/search_record.h"
#include "core/store/id_name_list.h"
#include "gui/folders/folder_load.h"

#include <QTreeWidget>

#include <cstdint>
#include <optional>
#include <vector>

namespace tallyhawk
{

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

    static Stands StandsFor(const QTreeWidgetItem& item);
    static std::int32_t IdOf(const QTreeWidgetItem& item);

signals:
    void chosen(tallyhawk::ViewTree::Stands stands, std::int32_t id, const QString& text);

private:
    QTreeWidgetItem* AddRoot(const QString& text, Stands stands);
    static void AddChild(QTreeWidgetItem* root, const QString& text, Stands stands, std::int32_t id);
    void AddList(const QString& rootText, Stands stands, const IdNameList& list);
};

} // namespace tallyhawk
