#include "gui/folders/products_folder.h"

#include "core/shopping/shopping_database.h"
#include "core/shopping/shopping_list_commands.h"
#include "gui/controls/message_boxes.h"
#include "gui/folders/folder_host.h"
#include "gui/views/item_list_model.h"

#include <optional>
#include <variant>

namespace tallyhawk
{

ProductsFolder::ProductsFolder(FolderHost& host, ShoppingDatabase& shopping, SessionCommands commands)
    : ShoppingFolder(host, shopping, commands, ShoppingDatabase::kProducts)
{ }

void ProductsFolder::ShowEdited(const ShoppingRecord& saved)
{
    host_.ShowSaved(saved);
}

void ProductsFolder::Details(int row)
{
    const RowKey key = host_.Rows().key(row);
    if (MessageBoxes::Ask(host_.DialogParent(),
                          BoxTitle(),
                          QStringLiteral("Do you want to mark the selected product as purchased?"))
        != QMessageBox::Yes) {
        return;
    }
    // The row goes once the product moved: one that could not be moved stays as it is.
    host_.Write([this, id = key.id] { return commands_.shopping().Purchase(id); },
                [this, id = key.id](int status) {
                    if (status < 0) {
                        MessageBoxes::Tell(host_.DialogParent(),
                                           BoxTitle(),
                                           QStringLiteral("There was an error while moving the selected "
                                                          "product to the Purchase History."),
                                           QMessageBox::Warning);
                        return;
                    }
                    ItemListModel& rows = host_.Rows();
                    for (int row = 0; row < rows.rowCount(); ++row) {
                        if (rows.key(row).id == id) {
                            host_.RemoveRow(row);
                            break;
                        }
                    }
                });
}

void ProductsFolder::Delete(int row)
{
    const RowKey key = host_.Rows().key(row);
    // The row's own copy of the product says whether it recurs.
    const RowRecord record = host_.Rows().record(row);
    const auto* const* product = std::get_if<const ShoppingRecord*>(&record);
    const bool recurring = product != nullptr
        && ShoppingListCommands::QuestionFor(**product)
            == ShoppingListCommands::DeleteQuestion::RecurringSeries;
    std::optional<ShoppingListCommands::Deletion> deletion;
    if (recurring) {
        const QMessageBox::StandardButton answer = MessageBoxes::Ask(
            host_.DialogParent(),
            BoxTitle(),
            QStringLiteral("The selected product was setup as a recurring purchase.\nDo you want to "
                           "permanently delete all instances in the recurring series for this product?"),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
            QMessageBox::Cancel,
            // Yes and No would not say which of the two goes.
            {{QMessageBox::Yes, QStringLiteral("Delete Series")},
             {QMessageBox::No, QStringLiteral("Skip This One")},
             {QMessageBox::Cancel, QStringLiteral("Cancel")}});
        if (answer == QMessageBox::Yes) {
            deletion = ShoppingListCommands::Deletion::WholeProduct;
        } else if (answer == QMessageBox::No) {
            // Only this occurrence goes; the product comes back with its next one.
            deletion = ShoppingListCommands::Deletion::SkipOccurrence;
        }
    } else if (MessageBoxes::Ask(host_.DialogParent(),
                                 BoxTitle(),
                                 QStringLiteral("Do you want to permanently delete the selected product?"))
               == QMessageBox::Yes) {
        deletion = ShoppingListCommands::Deletion::WholeProduct;
    }
    if (!deletion) {
        return;
    }
    host_.RemoveRow(row);
    WriteRemoved([this, id = key.id, how = *deletion] { return commands_.shopping().DeleteProduct(id, how); },
                 QStringLiteral("There was an error while deleting the selected product."));
}

} // namespace tallyhawk
