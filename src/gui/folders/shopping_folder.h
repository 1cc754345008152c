#pragma once

#include "core/update/session_commands.h"
#include "gui/folders/folder_controller.h"

#include <cstdint>

namespace tallyhawk
{

class ShoppingDatabase;

// A folder over one file of the shopping database: the Shopping List (products) or the Purchase
// History. Its records open in the product editor, which stays off until it is set; its writes are the
// session's Shopping List commands.
class ShoppingFolder : public FolderController
{
public:
    ShoppingFolder(FolderHost& host,
                   ShoppingDatabase& shopping,
                   SessionCommands commands,
                   std::int32_t recordKind);

    FolderCaptions captions() const override;
    FolderLoad Load(const FolderQuery& query) override;
    bool CanOpen() const override;
    void Open(int row) override;

protected:
    // After the editor saved `saved` and the view was filled again.
    virtual void ShowEdited(const ShoppingRecord& saved) = 0;
    // Runs a write of the shopping files for a row already removed; when it fails, `failure` is told
    // and the view is filled again, so that a record still there never looks gone.
    void WriteRemoved(std::function<int()> write, const QString& failure);

    ShoppingDatabase& shopping_;
    SessionCommands commands_;
    std::int32_t recordKind_;
};

} // namespace tallyhawk
