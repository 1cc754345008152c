#pragma once

#include <QString>

namespace tallyhawk
{

// The folder the main window shows; None until the first folder is chosen.
enum class FolderKind
{
    None = 0,
    CouponsAndDeals = 2,
    ForumTopics = 3,
    PriceComparisons = 4,
    ShoppingList = 5,
    PurchaseHistory = 6,
    TodaysSummary = 7,
    CashBackStores = 8,
};

// The folder's name as its button and the caption labels show it.
QString FolderName(FolderKind folder);

// Whether the folder shows the item list (rather than the summary page or the browser pane).
bool IsListFolder(FolderKind folder);

} // namespace tallyhawk
