#pragma once

#include "core/update/session_commands.h"
#include "gui/folders/folder_controller.h"

namespace tallyhawk
{

class ItemStore;

// A folder of downloaded items over one item store: Coupons & Deals or Forum Topics. Items open in the
// browser, their details are their page on the site, a chosen unread item is marked read, and Delete
// asks nothing. Marking and deleting are the session's commands, which find the store by the item's kind.
class ItemListFolder : public FolderController
{
public:
    ItemListFolder(FolderHost& host, ItemStore& store, SessionCommands commands);

    FolderLoad Load(const FolderQuery& query) override;
    bool HasDetails() const override { return true; }
    void RowChosen(int row) override;
    void Details(int row) override;
    void Delete(int row) override;

protected:
    // The tree's root over the stores the items name ("All Stores", "All Users").
    virtual QString StoreRoot() const = 0;

    ItemStore& store_;
    SessionCommands commands_;
};

} // namespace tallyhawk
