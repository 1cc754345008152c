#pragma once

#include "core/compare/price_result.h"
#include "core/compare/result_list.h"
#include "core/shopping/shopping_record.h"
#include "core/store/id_name_list.h"
#include "core/store/item_record.h"

#include <cstddef>
#include <cstdint>
#include <variant>
#include <vector>

namespace tallyhawk
{

// What a row stands for: the record's id and kind, whether it is still unread (items only), and the
// store and category the tree files it under (0 for offers).
struct RowKey
{
    std::int32_t id = 0;
    std::int32_t kind = 0;
    bool unread = false;
    std::int32_t storeId = 0;
    std::int32_t categoryId = 0;

    // The same record, whatever it holds now.
    bool SameRecord(const RowKey& other) const { return id == other.id && kind == other.kind; }
};

// The record a row shows: valid until the row is removed or the list is replaced.
using RowRecord = std::variant<std::monostate, const ItemRecord*, const PriceResult*, const ShoppingRecord*>;

// The row kinds of the list, as the variant's alternatives number them.
enum class RowKind
{
    None = 0,
    Item = 1,
    Offer = 2,
    Shopping = 3,
};

inline RowKind KindOf(const RowRecord& record)
{
    return static_cast<RowKind>(record.index());
}

// The records of one folder's list, in the order the list shows them. The list holds the copy of the
// view that the store handed out (stores give copies, never their own records), moved in whole: no
// reload, append or delete in the store can free or shift a record that a row stands for, and rows
// change only through Erase and MarkRead.
class ListRows
{
public:
    ListRows() = default;

    // Items newest first, as ItemStore::Items gives them.
    static ListRows FromItems(std::vector<ItemRecord> items);
    // Products or purchases in the view's order, with the shopping database's store and category
    // lists that their cards name.
    static ListRows
    FromShopping(std::vector<ShoppingRecord> records, IdNameList stores, IdNameList categories);
    // The offers of one comparison from the lowest price to the highest (the list keeps the highest first).
    static ListRows FromOffers(const ResultList& offers);

    std::size_t size() const { return items_.size() + shopping_.size() + offers_.size(); }
    bool empty() const { return size() == 0; }
    // Nothing outside the rows.
    RowRecord record(std::size_t row) const;
    RowKey key(std::size_t row) const;
    void Erase(std::size_t row);
    // Sets `read` of an item's record; other rows have nothing to mark.
    void MarkRead(std::size_t row);

    const IdNameList& stores() const { return stores_; }
    const IdNameList& categories() const { return categories_; }

private:
    // One of the three holds the rows.
    std::vector<ItemRecord> items_;
    std::vector<ShoppingRecord> shopping_;
    std::vector<PriceResult> offers_;
    IdNameList stores_;
    IdNameList categories_;
};

} // namespace tallyhawk
