#include "gui/folders/folder_kind.h"

namespace tallyhawk
{

QString FolderName(FolderKind folder)
{
    switch (folder) {
    case FolderKind::CouponsAndDeals:
        return QStringLiteral("Coupons & Deals");
    case FolderKind::ForumTopics:
        return QStringLiteral("Forum Topics");
    case FolderKind::PriceComparisons:
        return QStringLiteral("Price Comparisons");
    case FolderKind::ShoppingList:
        return QStringLiteral("Shopping List");
    case FolderKind::PurchaseHistory:
        return QStringLiteral("Purchase History");
    case FolderKind::TodaysSummary:
        return QStringLiteral("Today's Summary");
    case FolderKind::CashBackStores:
        return QStringLiteral("Cash Back Stores");
    case FolderKind::None:
        break;
    }
    return {};
}

bool IsListFolder(FolderKind folder)
{
    return folder != FolderKind::None && folder != FolderKind::TodaysSummary
        && folder != FolderKind::CashBackStores;
}

} // namespace tallyhawk
