#pragma once

#include "gui/folders/item_list_folder.h"

namespace tallyhawk
{

// Coupons & Deals: the deals and coupons downloaded into "deal.lst".
class DealsFolder : public ItemListFolder
{
public:
    using ItemListFolder::ItemListFolder;

    FolderKind kind() const override { return FolderKind::CouponsAndDeals; }
    FolderCaptions captions() const override;
    // Opens the deal's redirect page on the site.
    void Open(int row) override;
    std::string Link(int row) const override;

protected:
    QString StoreRoot() const override { return QStringLiteral("All Stores"); }
};

} // namespace tallyhawk
