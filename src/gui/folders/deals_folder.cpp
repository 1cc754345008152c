#include "gui/folders/deals_folder.h"

#include "core/common/site_addresses.h"
#include "core/platform/browser_launcher.h"
#include "gui/folders/folder_host.h"
#include "gui/views/item_list_model.h"

namespace tallyhawk
{

FolderCaptions DealsFolder::captions() const
{
    return {"Coupon Details", "Open In Browser", "Delete Coupon", "Find Coupons", "Print Coupons", true};
}

void DealsFolder::Open(int row)
{
    host_.Browser().Open(Link(row), true);
}

std::string DealsFolder::Link(int row) const
{
    const RowKey key = host_.Rows().key(row);
    return RedirectPageUrl(host_.SiteBase(), key.kind, key.id);
}

} // namespace tallyhawk
