#include "gui/folders/item_list_folder.h"

#include "core/common/site_addresses.h"
#include "core/common/status.h"
#include "core/platform/browser_launcher.h"
#include "core/store/item_store.h"
#include "gui/controls/message_boxes.h"
#include "gui/folders/folder_host.h"
#include "gui/views/item_list_model.h"

namespace tallyhawk
{

ItemListFolder::ItemListFolder(FolderHost& host, ItemStore& store, SessionCommands commands)
    : FolderController(host)
    , store_(store)
    , commands_(commands)
{ }

FolderLoad ItemListFolder::Load(const FolderQuery& query)
{
    FolderLoad load;
    // A store that cannot be read leaves the list and the tree empty.
    if (store_.Load(query.filter) != kOk) {
        return load;
    }
    load.rows = ListRows::FromItems(store_.Items());
    if (query.rebuildTree) {
        load.tree = TreeContent{false, StoreRoot(), store_.Stores(), store_.Categories(), {}};
    }
    return load;
}

void ItemListFolder::RowChosen(int row)
{
    ItemListModel& rows = host_.Rows();
    const RowKey key = rows.key(row);
    if (!key.unread) {
        return;
    }
    // Shown read at once; the file follows behind, and a failure leaves the row as the user saw it.
    rows.MarkRead(row);
    host_.Write([this, key] { return commands_.MarkItemRead(key.id, key.kind); },
                [this](int status) {
                    if (status < 0) {
                        host_.ReportQuietly(
                            QStringLiteral("The item could not be marked as read (error %1); it will show "
                                           "unread again.")
                                .arg(status));
                    }
                });
}

void ItemListFolder::Details(int row)
{
    const RowKey key = host_.Rows().key(row);
    const std::string base = host_.SiteBase();
    host_.Browser().Open(
        key.kind == 3 ? MessagesPageUrl(base, 3, key.id) : ItemPageUrl(base, key.kind, key.id), true);
}

void ItemListFolder::Delete(int row)
{
    const RowKey key = host_.Rows().key(row);
    // Items go without a question; the row stays gone even when the file could not be changed.
    host_.RemoveRow(row);
    host_.Write([this, key] { return commands_.DeleteItem(key.id, key.kind); },
                [this](int status) {
                    if (status < 0) {
                        MessageBoxes::Tell(host_.DialogParent(),
                                           BoxTitle(),
                                           QStringLiteral("There was an error while deleting the selected "
                                                          "deal(s).\nThe deal might have been already "
                                                          "deleted or the database file is corrupted or "
                                                          "locked."),
                                           QMessageBox::Warning);
                    }
                });
}

} // namespace tallyhawk
