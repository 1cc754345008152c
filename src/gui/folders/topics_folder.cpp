#include "gui/folders/topics_folder.h"

#include "core/common/site_addresses.h"
#include "core/platform/browser_launcher.h"
#include "gui/folders/folder_host.h"
#include "gui/views/item_list_model.h"

namespace tallyhawk
{

FolderCaptions TopicsFolder::captions() const
{
    return {"Topic Details", "Open In Browser", "Delete Topic", "Find Topics", "Print Topics", true};
}

void TopicsFolder::Open(int row)
{
    host_.Browser().Open(Link(row), true);
}

std::string TopicsFolder::Link(int row) const
{
    const RowKey key = host_.Rows().key(row);
    return MessagesPageUrl(host_.SiteBase(), key.kind, key.id);
}

} // namespace tallyhawk
