#include "gui/app/view_tree.h"

#include "gui/controls/record_text.h"
#include "gui/controls/theme_icon.h"

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
{
    setHeaderHidden(true);
    setAccessibleName(QStringLiteral("Stores and categories"));
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = selectedItems();
        if (!selected.isEmpty()) {
            emit chosen(StandsFor(*selected.front()), IdOf(*selected.front()), selected.front()->text(0));
        }
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
