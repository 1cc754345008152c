#include "cli/shopping_failure.h"

#include "cli/file_failure.h"
#include "core/shopping/shopping_database.h"

namespace tallyhawk::cli
{

std::string ShoppingFileName(std::int32_t kind)
{
    return kind == ShoppingDatabase::kProducts ? "product.dat" : "purchase.dat";
}

namespace
{

std::string RepairHint(const std::string& file)
{
    const char* which = file == "purchase.dat" ? "purchases" : "products";
    return std::string(" If it is damaged, 'tallyhawk-cli shopping repair ") + which
        + "' saves its whole records.";
}

} // namespace

std::string ShoppingFailureText(const std::string& file, int status)
{
    switch (status) {
    case kCannotOpen:
        return file + " (or a list it needs)" + CannotOpenReason(file);
    case kBadFormat:
        return file + " (or a list it needs) is damaged or could not be written; it is unchanged."
            + RepairHint(file);
    case kBadMarker:
        return file + " is damaged: its markers are wrong." + RepairHint(file);
    case kCannotRestore:
        return file + " could not be replaced by its archived copy; it is unchanged.";
    default:
        return file + " could not be processed (status " + std::to_string(status) + ").";
    }
}

} // namespace tallyhawk::cli
