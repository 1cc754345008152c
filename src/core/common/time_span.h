#pragma once

#include <cstdint>
#include <optional>

namespace tallyhawk
{

// A range of arrival times for the view filters, in local day boundaries: from 00:00:00 of one day (or
// a span before the end) to 23:59:59 of another. Times are seconds since 1970; the local calendar is
// the system's time zone.
struct TimeSpan
{
    // The spans of the time filter menu.
    static constexpr std::int32_t kToday = 0;
    static constexpr std::int32_t kLast3Days = 259200;
    static constexpr std::int32_t kLast7Days = 604800;
    static constexpr std::int32_t kLast30Days = 2592000;
    static constexpr std::int32_t kLast60Days = 5184000;
    static constexpr std::int32_t kLast90Days = 7776000;
    static constexpr std::int32_t kLast180Days = 15552000;

    std::int32_t from = 0;
    std::int32_t to = 0;

    // Ends today at 23:59:59 local time and starts `span` seconds earlier; kToday starts today at
    // 00:00:00.
    static TimeSpan EndingToday(std::int32_t span, std::int64_t now);
    // From the first day's 00:00:00 to the last day's 23:59:59; nothing for a date that does not exist.
    static std::optional<TimeSpan>
    Days(int firstYear, int firstMonth, int firstDay, int lastYear, int lastMonth, int lastDay);
};

// The time of the given local date and clock time; nothing when the date does not exist or lies
// outside the 32-bit range.
std::optional<std::int32_t> LocalTime(int year, int month, int day, int hour, int minute, int second);

// The local time of day `hour`:`minute`:`second` on the local date of `now`.
std::int32_t LocalTimeOnDayOf(std::int64_t now, int hour, int minute, int second);

} // namespace tallyhawk
