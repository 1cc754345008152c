#pragma once

#include "core/store/item_record.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tallyhawk
{

class WordMatcher;

// The filter of a view: a zero value (or no keyword) means no restriction.
class ItemFilter
{
public:
    virtual ~ItemFilter() = default;

    std::int32_t storeId = 0;
    std::int32_t categoryId = 0;
    std::int32_t from = 0; // arrived at or after
    std::int32_t to = 0; // arrived at or before
    std::optional<std::string> keyword;

    bool Passes(const ItemRecord& record) const;
    // The same with the keyword's words prepared once by the caller (for scans of many records).
    bool Passes(const ItemRecord& record, const WordMatcher* keywordWords) const;
};

} // namespace tallyhawk
