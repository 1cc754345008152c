#include "gui/folders/purchases_folder.h"

#include "core/shopping/shopping_database.h"
#include "core/shopping/shopping_list_commands.h"
#include "gui/controls/message_boxes.h"
#include "gui/folders/folder_host.h"
#include "gui/views/item_list_model.h"

namespace tallyhawk
{

PurchasesFolder::PurchasesFolder(FolderHost& host, ShoppingDatabase& shopping, SessionCommands commands)
    : ShoppingFolder(host, shopping, commands, ShoppingDatabase::kPurchases)
{ }

void PurchasesFolder::ShowEdited(const ShoppingRecord& saved)
{
    host_.ChooseRowOf(saved.id);
}

void PurchasesFolder::Delete(int row)
{
    if (MessageBoxes::Ask(host_.DialogParent(),
                          BoxTitle(),
                          QStringLiteral("Do you want to permanently delete the selected purchase?"))
        != QMessageBox::Yes) {
        return;
    }
    const std::int32_t id = host_.Rows().key(row).id;
    host_.RemoveRow(row);
    WriteRemoved([this, id] { return commands_.shopping().DeletePurchase(id); },
                 QStringLiteral("There was an error while deleting the selected purchase."));
}

} // namespace tallyhawk
