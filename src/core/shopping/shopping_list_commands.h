#pragma once

#include "core/shopping/shopping_database.h"
#include "core/shopping/shopping_record.h"

#include <cstdint>
#include <optional>
#include <string>

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

    struct SaveOutcome
    {
        // The record as saved; nothing when refused or when the write failed.
        std::optional<ShoppingRecord> record;
        // The message of the check that refused the values (ProductInput); nothing was written.
        std::optional<std::string> refusal;
        // The database's code when the write failed.
        int status = 0;
    };
    // Adds a product or purchase of `kind` (`id` 0) or rewrites the one with `id`, after the checks of
    // ProductInput.
    SaveOutcome Save(std::int32_t kind, std::int32_t id, ShoppingValues values);

private:
    ShoppingDatabase& database_;
};

} // namespace tallyhawk
