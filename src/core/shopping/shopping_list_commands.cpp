#include "core/shopping/shopping_list_commands.h"

#include "core/shopping/purchase_type.h"

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

} // namespace tallyhawk
