#pragma once

#include "gui/folders/shopping_folder.h"

namespace tallyhawk
{

// The Purchase History: the purchases made. A purchase has no details; Delete asks first.
class PurchasesFolder : public ShoppingFolder
{
public:
    PurchasesFolder(FolderHost& host, ShoppingDatabase& shopping, SessionCommands commands);

    FolderKind kind() const override { return FolderKind::PurchaseHistory; }
    void Delete(int row) override;

protected:
    void ShowEdited(const ShoppingRecord& saved) override;
};

} // namespace tallyhawk
