#include "core/shopping/shopping_list_commands.h"

#include "core/common/status.h"
#include "core/shopping/product_input.h"
#include "core/shopping/purchase_type.h"

#include <utility>

namespace tallyhawk
{

ShoppingListCommands::DeleteQuestion ShoppingListCommands::QuestionFor(const ShoppingRecord& product)
{
    return IsRecurring(product.purchaseType) ? DeleteQuestion::RecurringSeries : DeleteQuestion::Product;
}

int ShoppingListCommands::Purchase(std::int32_t productId)
{
    return database_.MarkRecord(ShoppingDatabase::kProducts, productId, ShoppingDatabase::Mark::Purchased);
}

int ShoppingListCommands::DeleteProduct(std::int32_t productId, Deletion deletion)
{
    return database_.MarkRecord(ShoppingDatabase::kProducts,
                                productId,
                                deletion == Deletion::SkipOccurrence ? ShoppingDatabase::Mark::SkipOccurrence
                                                                     : ShoppingDatabase::Mark::Deleted);
}

int ShoppingListCommands::DeletePurchase(std::int32_t purchaseId)
{
    return database_.MarkRecord(ShoppingDatabase::kPurchases, purchaseId, ShoppingDatabase::Mark::Deleted);
}

ShoppingListCommands::SaveOutcome
ShoppingListCommands::Save(std::int32_t kind, std::int32_t id, ShoppingValues values)
{
    SaveOutcome outcome;
    outcome.refusal = ProductInput::Check(values);
    if (outcome.refusal) {
        return outcome;
    }
    outcome.record = id == 0 ? database_.AddRecord(kind, std::move(values), &outcome.status)
                             : database_.EditRecord(kind, id, std::move(values), &outcome.status);
    if (outcome.record) {
        outcome.status = 0;
    } else if (outcome.status == 0) {
        outcome.status = kCannotOpen; // nothing saved must never look saved
    }
    return outcome;
}

} // namespace tallyhawk
