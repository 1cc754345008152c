#pragma once

#include "core/shopping/shopping_record.h"
#include "core/store/id_name_list.h"
#include "core/store/item_filter.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace tallyhawk
{

// The records of the current list view, as copies the view owns, in descending order of `nextDue`;
// records with equal `nextDue` keep the order of the file. Also the kind and filter that selected them
// and a cursor for First and Next. Not locked: its owner guards it.
class ShoppingView
{
public:
    std::int32_t kind = 0; // the file the view shows; 0 before the first load
    ItemFilter filter;

    // Appends a record of a load in file order; Order puts the view in order afterwards, so a load costs
    // one sort instead of an insertion per record.
    void Append(const ShoppingRecord& record);
    void Order();
    // Inserts a record after every record whose `nextDue` is greater than or equal to its own.
    void Insert(const ShoppingRecord& record);
    // Removes the first record with this id; false when there is none.
    bool RemoveFirst(std::int32_t id);
    void Clear();

    std::optional<ShoppingRecord> First();
    std::optional<ShoppingRecord> Next();
    std::vector<ShoppingRecord> Records() const;
    std::size_t Count() const { return records_.size(); }

    // The ids that the records use as store (or category), in view order, with a count of records each
    // and the name from `names`; ids that `names` does not know are left out.
    IdNameList StoresIn(const IdNameList& names) const;
    IdNameList CategoriesIn(const IdNameList& names) const;

private:
    IdNameList Used(const IdNameList& names, std::int32_t ShoppingRecord::*field) const;

    // Records are held by pointer so that ordering moves pointers, not 2.8-kilobyte records.
    std::vector<std::unique_ptr<ShoppingRecord>> records_;
    std::size_t cursor_ = 0;
};

} // namespace tallyhawk
