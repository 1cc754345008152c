#include "core/shopping/shopping_view.h"

#include <algorithm>

namespace tallyhawk
{

void ShoppingView::Append(const ShoppingRecord& record)
{
    records_.push_back(std::make_unique<ShoppingRecord>(record));
}

void ShoppingView::Order()
{
    std::stable_sort(records_.begin(), records_.end(), [](const auto& left, const auto& right) {
        return left->nextDue > right->nextDue;
    });
    cursor_ = 0;
}

void ShoppingView::Insert(const ShoppingRecord& record)
{
    auto at = std::find_if(
        records_.begin(), records_.end(), [&](const auto& held) { return held->nextDue < record.nextDue; });
    records_.insert(at, std::make_unique<ShoppingRecord>(record));
}

bool ShoppingView::RemoveFirst(std::int32_t id)
{
    auto at
        = std::find_if(records_.begin(), records_.end(), [&](const auto& held) { return held->id == id; });
    if (at == records_.end()) {
        return false;
    }
    const auto index = static_cast<std::size_t>(at - records_.begin());
    records_.erase(at);
    // The walk goes on with the record that followed the removed one.
    if (index < cursor_) {
        --cursor_;
    }
    return true;
}

void ShoppingView::Clear()
{
    records_.clear();
    cursor_ = 0;
}

std::optional<ShoppingRecord> ShoppingView::First()
{
    cursor_ = 0;
    return Next();
}

std::optional<ShoppingRecord> ShoppingView::Next()
{
    if (cursor_ >= records_.size()) {
        return std::nullopt;
    }
    return *records_[cursor_++];
}

std::vector<ShoppingRecord> ShoppingView::Records() const
{
    std::vector<ShoppingRecord> copies;
    copies.reserve(records_.size());
    for (const auto& record : records_) {
        copies.push_back(*record);
    }
    return copies;
}

IdNameList ShoppingView::Used(const IdNameList& names, std::int32_t ShoppingRecord::*field) const
{
    IdNameList used;
    for (const auto& record : records_) {
        const std::int32_t id = (*record).*field;
        if (id == 0) {
            continue;
        }
        if (used.Find(id) != nullptr) {
            used.AddOrCount(id, {}, 0);
        } else if (const IdNameEntry* entry = names.Find(id)) {
            used.AddOrCount(id, entry->name, 1);
        }
    }
    return used;
}

IdNameList ShoppingView::StoresIn(const IdNameList& names) const
{
    return Used(names, &ShoppingRecord::storeId);
}

IdNameList ShoppingView::CategoriesIn(const IdNameList& names) const
{
    return Used(names, &ShoppingRecord::categoryId);
}

} // namespace tallyhawk
