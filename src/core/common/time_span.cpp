#include "core/common/time_span.h"

#include <ctime>
#include <limits>

namespace tallyhawk
{
namespace
{

std::int32_t Clamp32(std::int64_t value)
{
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

std::optional<std::int32_t> LocalTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    const std::time_t time = std::mktime(&fields);
    // mktime rolls impossible dates over (February 30 becomes March 2): such a date is refused.
    if (time == static_cast<std::time_t>(-1) || fields.tm_year != year - 1900 || fields.tm_mon != month - 1
        || fields.tm_mday != day) {
        return std::nullopt;
    }
    const auto value = static_cast<std::int64_t>(time);
    if (value < std::numeric_limits<std::int32_t>::min()
        || value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t LocalTimeOnDayOf(std::int64_t now, int hour, int minute, int second)
{
    const auto time = static_cast<std::time_t>(now);
    std::tm fields{};
    if (::localtime_r(&time, &fields) == nullptr) {
        return Clamp32(now);
    }
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    return Clamp32(static_cast<std::int64_t>(std::mktime(&fields)));
}

TimeSpan TimeSpan::EndingToday(std::int32_t span, std::int64_t now)
{
    TimeSpan result;
    result.to = LocalTimeOnDayOf(now, 23, 59, 59);
    result.from = span == kToday ? LocalTimeOnDayOf(now, 0, 0, 0)
                                 : Clamp32(static_cast<std::int64_t>(result.to) - span);
    return result;
}

std::optional<TimeSpan>
TimeSpan::Days(int firstYear, int firstMonth, int firstDay, int lastYear, int lastMonth, int lastDay)
{
    std::optional<std::int32_t> from = LocalTime(firstYear, firstMonth, firstDay, 0, 0, 0);
    std::optional<std::int32_t> to = LocalTime(lastYear, lastMonth, lastDay, 23, 59, 59);
    if (!from || !to) {
        return std::nullopt;
    }
    return TimeSpan{*from, *to};
}

} // namespace tallyhawk
