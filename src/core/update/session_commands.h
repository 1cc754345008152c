#pragma once

#include "core/shopping/shopping_list_commands.h"
#include "core/update/alert_commands.h"

#include <cstdint>
#include <filesystem>
#include <utility>
#include <vector>

namespace tallyhawk
{

class ItemStore;
class ShoppingDatabase;

// The commands the desktop program and the command line both run on a row: items marked read or
// deleted in the store of their kind, and the Shopping List's commands (ShoppingListCommands). Each
// gives the id on success and the store's negative code otherwise; the questions before them and the
// messages after them belong to the program.
class SessionCommands
{
public:
    SessionCommands(ItemStore& deals,
                    ItemStore& topics,
                    ShoppingDatabase& shopping,
                    std::filesystem::path folder = ".")
        : deals_(deals)
        , topics_(topics)
        , shopping_(shopping)
        , folder_(std::move(folder))
    { }

    // Kinds 1 and 2 (coupons and deals) are in the deals' store, 3 (forum topics) in the topics'.
    int MarkItemRead(std::int32_t id, std::int32_t kind);
    int DeleteItem(std::int32_t id, std::int32_t kind);
    // Marks many items read, one pass over each store's file. How many were marked, or the first
    // store's negative code.
    int MarkItemsRead(const std::vector<std::pair<std::int32_t, std::int32_t>>& idsAndKinds);

    // Purchase, skip an occurrence, delete a product or its series, delete a purchase, and add or edit
    // a product with its checks.
    ShoppingListCommands shopping() const { return ShoppingListCommands(shopping_); }

    // Mute a row's store or category, pause and resume alerts (AlertCommands).
    AlertCommands alerts() const { return AlertCommands(folder_); }

private:
    ItemStore& StoreOf(std::int32_t kind) const;

    ItemStore& deals_;
    ItemStore& topics_;
    ShoppingDatabase& shopping_;
    std::filesystem::path folder_;
};

} // namespace tallyhawk
