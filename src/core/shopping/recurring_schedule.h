#pragma once

#include <cstdint>

namespace tallyhawk
{

// The due dates of a product: a grid anchored at its start date, in local calendar time of the
// system's time zone. Daily and weekly steps are whole calendar days at the start's time of day, so a
// mark at 01:00 moves past today's date across daylight saving changes too. Arithmetic is 64-bit and
// every computation ends, whatever the record holds.
struct RecurringSchedule
{
    std::uint16_t purchaseType = 0;
    std::uint16_t interval = 0;
    std::int16_t dayValue = 0;
    std::int32_t startDate = 0;
    std::int32_t lastPurchased = 0;

    // The first due date after `lastPurchased` (the start's own date while never purchased). 0 when the
    // product is not due at all: type 0, a One Time product already purchased, a schedule that cannot
    // end (type 2 with `dayValue` below 1, types 3 and 4 with `interval` below 1, a weekday outside
    // 0 to 6, a day of the month below 1), or a date beyond the 32-bit range.
    std::int32_t NextDue() const;
};

} // namespace tallyhawk
