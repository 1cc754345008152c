#pragma once

#include "core/store/item_record.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tallyhawk
{

// A date as item rows show it, in local time: the weekday's three-letter name and month/day/year
// without leading zeros ("Mon 1/31/2005").
std::string FormatItemDate(std::int32_t time);

// "Expires" for coupons and deals, "Posted" for everything else.
std::string_view ItemDateWord(std::int32_t kind);

// The second line of an item row: the description, the date word and the date, or ": unknown" when
// the record has no date.
std::string ItemSecondLine(const ItemRecord& record);

} // namespace tallyhawk
