#include "core/shopping/shopping_filter.h"

#include "core/shopping/purchase_type.h"
#include "core/shopping/recurring_schedule.h"
#include "core/store/word_rules.h"

#include <optional>

namespace tallyhawk
{
namespace
{

bool PassesProduct(ShoppingRecord& record, const ItemFilter& filter)
{
    record.nextDue = 0;
    if (IsPurchaseType(record.purchaseType, PurchaseType::None)) {
        return record.lastPurchased == 0;
    }
    record.nextDue = RecurringSchedule{record.purchaseType,
                                       record.interval,
                                       record.dayValue,
                                       record.startDate,
                                       record.lastPurchased}
                         .NextDue();
    if (record.nextDue == 0 || filter.to == 0) {
        return false;
    }
    // Due inside the filter's dates, or before them: overdue.
    return (record.nextDue >= filter.from && record.nextDue <= filter.to) || record.nextDue < filter.from;
}

bool PassesPurchase(const ShoppingRecord& record, const ItemFilter& filter)
{
    return !(filter.from != 0 && record.startDate < filter.from)
        && !(filter.to != 0 && record.startDate > filter.to);
}

} // namespace

bool PassesFilter(ShoppingRecord& record,
                  const ItemFilter& filter,
                  ShoppingFilterMode mode,
                  const WordMatcher* keywordWords)
{
    if (filter.keyword) {
        std::optional<WordMatcher> own;
        if (keywordWords == nullptr) {
            keywordWords = &own.emplace(*filter.keyword);
        }
        if (!keywordWords->Matches(record.name())) {
            return false;
        }
    }
    if ((filter.storeId != 0 && filter.storeId != record.storeId)
        || (filter.categoryId != 0 && filter.categoryId != record.categoryId)) {
        return false;
    }
    return mode == ShoppingFilterMode::Products ? PassesProduct(record, filter)
                                                : PassesPurchase(record, filter);
}

} // namespace tallyhawk
