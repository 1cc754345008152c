#pragma once

#include "core/shopping/shopping_record.h"
#include "core/store/id_name_list.h"

#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>

namespace tallyhawk::cli
{

// The lists that name a record's store, category and unit.
struct ShoppingNames
{
    IdNameList stores;
    IdNameList categories;
    IdNameList units;
};

// Every member of a record under its name, with the store, category and unit names and the applied
// coupons' ids and titles; texts as UTF-8.
nlohmann::ordered_json ShoppingRecordJson(const ShoppingRecord& record, const ShoppingNames& names);

// Two lines per record: id, name and the date that matters (due for a product, bought for a
// purchase); then schedule, store, category, price, quantity and unit.
void PrintShoppingRecord(std::ostream& out,
                         const ShoppingRecord& record,
                         const ShoppingNames& names,
                         bool product);

} // namespace tallyhawk::cli
