#pragma once

#include "core/compare/result_list.h"
#include "core/compare/search_record.h"
#include "core/shopping/shopping_record.h"
#include "core/store/item_record.h"

#include <QStringList>

#include <cstdint>
#include <variant>
#include <vector>

namespace tallyhawk
{

// What a row stands for: the record's id and kind, and whether it is still unread (items only).
struct RowKey
{
    std::int32_t id = 0;
    std::int32_t kind = 0;
    bool unread = false;
};

// The record a row shows, in the view list it came from: valid until that list is reloaded or changed.
using RowRecord = std::variant<std::monostate, const ItemRecord*, const PriceResult*, const ShoppingRecord*>;

// The text columns of one folder's list: its headers and one row per record, in the view's order.
struct ListRows
{
    QStringList headers;
    std::vector<QStringList> rows;
    std::vector<RowKey> keys; // one per row
    std::vector<RowRecord> records; // one per row

    static ListRows FromItems(const std::vector<ItemRecord>& items);
    static ListRows FromShopping(const std::vector<ShoppingRecord>& records);
    static ListRows FromSearches(const std::vector<SearchRecord>& records);
    // The offers of one comparison from the lowest price to the highest.
    static ListRows FromOffers(const ResultList& offers);
};

// A record time as a local date and time; empty below 1 (unknown).
QString LocalDateText(std::int32_t seconds);
// The same as a local date alone (an expiry or posting day).
QString LocalDayText(std::int32_t seconds);

} // namespace tallyhawk
