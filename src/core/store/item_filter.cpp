#include "core/store/item_filter.h"

#include "core/common/item_kind.h"
#include "core/store/word_rules.h"

namespace tallyhawk
{

bool ItemFilter::Passes(const ItemRecord& record) const
{
    if (!keyword) {
        return Passes(record, nullptr);
    }
    WordMatcher words(*keyword);
    return Passes(record, &words);
}

bool ItemFilter::Passes(const ItemRecord& record, const WordMatcher* keywordWords) const
{
    if (from != 0 && record.arrivedAt != 0 && record.arrivedAt < from) {
        return false;
    }
    if (to != 0 && record.arrivedAt != 0 && record.arrivedAt > to) {
        return false;
    }
    if (storeId != 0 && record.storeId != 0 && record.storeId != storeId) {
        return false;
    }
    if (categoryId != 0 && record.categoryId != 0 && record.categoryId != categoryId) {
        return false;
    }
    if (!keyword) {
        return true;
    }
    std::optional<WordMatcher> own;
    if (keywordWords == nullptr) {
        keywordWords = &own.emplace(*keyword);
    }
    const std::string_view texts[]
        = {record.title(), record.storeName(), record.categoryName(), record.description()};
    if (keywordWords->rule().Passes(texts)) {
        return true;
    }
    // A coupon of the chosen store is shown even when its texts miss the search words.
    return storeId >= 0 && storeId == record.storeId && IsKind(record.kind, ItemKind::Coupon);
}

} // namespace tallyhawk
