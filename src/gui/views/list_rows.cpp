#include "gui/views/list_rows.h"

#include <iterator>
#include <utility>

namespace tallyhawk
{

ListRows ListRows::FromItems(std::vector<ItemRecord> items)
{
    ListRows list;
    list.items_ = std::move(items);
    return list;
}

ListRows ListRows::FromShopping(std::vector<ShoppingRecord> records, IdNameList stores, IdNameList categories)
{
    ListRows list;
    list.shopping_ = std::move(records);
    list.stores_ = std::move(stores);
    list.categories_ = std::move(categories);
    return list;
}

ListRows ListRows::FromOffers(const ResultList& offers)
{
    ListRows list;
    list.offers_.reserve(offers.Count());
    // A comparison holds a few dozen offers; the list keeps its own so a reload of the window's results
    // never leaves a row pointing at a freed offer.
    for (auto it = std::make_reverse_iterator(offers.end()); it != std::make_reverse_iterator(offers.begin());
         ++it) {
        list.offers_.push_back(*it);
    }
    return list;
}

RowRecord ListRows::record(std::size_t row) const
{
    if (row < items_.size()) {
        return &items_[row];
    }
    if (row < shopping_.size()) {
        return &shopping_[row];
    }
    if (row < offers_.size()) {
        return &offers_[row];
    }
    return {};
}

RowKey ListRows::key(std::size_t row) const
{
    if (row < items_.size()) {
        const ItemRecord& item = items_[row];
        return {item.id, item.kind, item.read == 0, item.storeId, item.categoryId};
    }
    if (row < shopping_.size()) {
        const ShoppingRecord& product = shopping_[row];
        return {product.id, 0, false, product.storeId, product.categoryId};
    }
    if (row < offers_.size()) {
        return {offers_[row].id, 0, false};
    }
    return {};
}

void ListRows::Erase(std::size_t row)
{
    const auto erase = [row](auto& records) {
        if (row < records.size()) {
            records.erase(records.begin() + static_cast<std::ptrdiff_t>(row));
        }
    };
    erase(items_);
    erase(shopping_);
    erase(offers_);
}

void ListRows::MarkRead(std::size_t row)
{
    if (row < items_.size()) {
        items_[row].read = 1;
    }
}

} // namespace tallyhawk
