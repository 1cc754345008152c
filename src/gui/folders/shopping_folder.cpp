#include "gui/folders/shopping_folder.h"

#include "core/shopping/shopping_database.h"
#include "gui/controls/message_boxes.h"
#include "gui/folders/folder_host.h"
#include "gui/views/item_list_model.h"

#include <utility>

namespace tallyhawk
{

ShoppingFolder::ShoppingFolder(FolderHost& host,
                               ShoppingDatabase& shopping,
                               SessionCommands commands,
                               std::int32_t recordKind)
    : FolderController(host)
    , shopping_(shopping)
    , commands_(commands)
    , recordKind_(recordKind)
{ }

FolderCaptions ShoppingFolder::captions() const
{
    return {"Purchase Product", "Edit Product", "Delete Product", "Find Products", "Print Products", true};
}

FolderLoad ShoppingFolder::Load(const FolderQuery& query)
{
    FolderLoad load;
    shopping_.LoadView(recordKind_, query.filter);
    load.rows = ListRows::FromShopping(shopping_.ViewRecords(), shopping_.Stores(), shopping_.Categories());
    if (query.rebuildTree) {
        load.tree = TreeContent{
            false, QStringLiteral("All Stores"), shopping_.StoresInView(), shopping_.CategoriesInView(), {}};
    }
    return load;
}

bool ShoppingFolder::CanOpen() const
{
    return bool(host_.ProductEditor());
}

void ShoppingFolder::Open(int row)
{
    if (!host_.ProductEditor()) {
        return;
    }
    const std::optional<ShoppingRecord> saved
        = host_.ProductEditor()(host_.DialogParent(), shopping_, recordKind_, host_.Rows().key(row).id);
    if (!saved) {
        return;
    }
    host_.Reload(true, [this, product = *saved] { ShowEdited(product); });
}

void ShoppingFolder::WriteRemoved(std::function<int()> write, const QString& failure)
{
    host_.Write(std::move(write), [this, failure](int status) {
        if (status < 0) {
            MessageBoxes::Tell(host_.DialogParent(), BoxTitle(), failure, QMessageBox::Warning);
            host_.Reload(true, {});
        }
    });
}

} // namespace tallyhawk
