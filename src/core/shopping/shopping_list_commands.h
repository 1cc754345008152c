#pragma once

#include "core/shopping/shopping_database.h"
#include "core/shopping/shopping_record.h"

#include <cstdint>

namespace tallyhawk
{

// The commands of the Shopping List and Purchase History folders, shared by the window and the CLI.
// The questions before them and the messages after them belong to the window.
class ShoppingListCommands
{
public:
    // Which question the window asks before deleting a product.
    enum class DeleteQuestion
    {
        RecurringSeries, // Yes deletes the series, No skips the occurrence due now, Cancel does nothing
        Product, // Yes deletes, No does nothing
    };

    // What the user chose for a product to delete.
    enum class Deletion
    {
        WholeProduct,
        SkipOccurrence, // recurring products only: it comes back at its next date
    };

    explicit ShoppingListCommands(ShoppingDatabase& database)
        : database_(database)
    { }

    static DeleteQuestion QuestionFor(const ShoppingRecord& product);

    // Marks the product purchased today and adds its purchase. The id or a negative code.
    int Purchase(std::int32_t productId);
    // The id or a negative code.
    int DeleteProduct(std::int32_t productId, Deletion deletion);
    int DeletePurchase(std::int32_t purchaseId);

private:
    ShoppingDatabase& database_;
};

} // namespace tallyhawk
