#pragma once

#include "gui/folders/shopping_folder.h"

namespace tallyhawk
{

// The Shopping List: the products still to buy. Details marks the chosen product purchased; Delete asks
// whether a recurring product goes whole or skips this occurrence.
class ProductsFolder : public ShoppingFolder
{
public:
    ProductsFolder(FolderHost& host, ShoppingDatabase& shopping, SessionCommands commands);

    FolderKind kind() const override { return FolderKind::ShoppingList; }
    bool HasDetails() const override { return true; }
    void Details(int row) override;
    void Delete(int row) override;

protected:
    void ShowEdited(const ShoppingRecord& saved) override;
};

} // namespace tallyhawk
