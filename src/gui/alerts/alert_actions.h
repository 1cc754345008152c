#pragma once

#include "core/store/item_record.h"

#include <functional>

namespace tallyhawk
{

// What the user can do from an alert besides following its link, the same from a popup and from a
// desktop notification. An item alert offers each one that is set; the summary of held alerts offers
// only to open the Coupons & Deals folder.
struct AlertActions
{
    // Opens the product editor filled in from the deal.
    std::function<void(const ItemRecord& item)> addToShoppingList;
    // Stops alerting the items of the item's store.
    std::function<void(const ItemRecord& item)> muteStore;
    // Holds alerts for an hour.
    std::function<void()> snooze;
    // Shows the main window on the Coupons & Deals folder.
    std::function<void()> openDealsFolder;
};

// The action an alert offers, by the key desktop notifications use for it.
enum class AlertAction
{
    Open,
    AddToShoppingList,
    MuteStore,
    Snooze,
};

} // namespace tallyhawk
