#pragma once

#include "core/shopping/shopping_record.h"
#include "core/store/item_filter.h"

#include <cstdint>

namespace tallyhawk
{

class WordMatcher;

// How a file's records meet a view filter: products by their due dates, purchases by when they were
// bought.
enum class ShoppingFilterMode : std::int32_t
{
    Products = 1,
    Purchases = 2,
};

// Whether `record` passes `filter`: every search word in its name, its store and category when the
// filter names them, then by mode. Products: `nextDue` is computed on the way; one passes when it is
// due up to the filter's end (overdue included), or for type 0 while it was never purchased.
// Purchases: `startDate` inside the filter's dates (0 being open). `keywordWords` are the filter's
// words prepared once by the caller; nullptr prepares them here.
bool PassesFilter(ShoppingRecord& record,
                  const ItemFilter& filter,
                  ShoppingFilterMode mode,
                  const WordMatcher* keywordWords = nullptr);

} // namespace tallyhawk
