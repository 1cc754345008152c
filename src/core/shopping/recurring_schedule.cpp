#include "core/shopping/recurring_schedule.h"

#include "core/shopping/purchase_type.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <functional>
#include <limits>
#include <optional>

namespace tallyhawk
{
namespace
{

constexpr std::int64_t kDaySeconds = 86400;
// More steps than the estimate can ever be off by; reaching it means the zone rules are beyond sense.
constexpr int kMostCorrections = 64;

// A local calendar date and time of day.
struct LocalFields
{
    std::int64_t year = 0;
    std::int64_t month = 1; // 1 to 12
    std::int64_t day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 0; // 0 Sunday ... 6 Saturday
};

std::optional<LocalFields> ToLocal(std::int64_t time)
{
    const auto value = static_cast<std::time_t>(time);
    std::tm fields{};
    if (::localtime_r(&value, &fields) == nullptr) {
        return std::nullopt;
    }
    LocalFields local;
    local.year = static_cast<std::int64_t>(fields.tm_year) + 1900;
    local.month = fields.tm_mon + 1;
    local.day = fields.tm_mday;
    local.hour = fields.tm_hour;
    local.minute = fields.tm_min;
    local.second = fields.tm_sec;
    local.weekday = fields.tm_wday;
    return local;
}

// The time of a local date at `of`'s time of day. `day` may lie beyond the month's end and `month`
// beyond 12 or below 1: the calendar carries them over.
std::optional<std::int64_t>
FromLocal(std::int64_t year, std::int64_t month, std::int64_t day, const LocalFields& of)
{
    // Months carried into the year first, so tm_mon stays small.
    const std::int64_t months = year * 12 + (month - 1);
    const std::int64_t carriedYear = months >= 0 ? months / 12 : -((-months + 11) / 12);
    const std::int64_t carriedMonth = months - carriedYear * 12;
    if (carriedYear - 1900 < std::numeric_limits<int>::min()
        || carriedYear - 1900 > std::numeric_limits<int>::max() || day < std::numeric_limits<int>::min()
        || day > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    std::tm fields{};
    fields.tm_year = static_cast<int>(carriedYear - 1900);
    fields.tm_mon = static_cast<int>(carriedMonth);
    fields.tm_mday = static_cast<int>(day);
    fields.tm_hour = of.hour;
    fields.tm_min = of.minute;
    fields.tm_sec = of.second;
    fields.tm_isdst = -1;
    errno = 0;
    const std::time_t time = std::mktime(&fields);
    // -1 is also a real time (the last second of 1969); only errno tells a failure from it.
    if (time == static_cast<std::time_t>(-1) && errno != 0) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(time);
}

bool IsLeapYear(std::int64_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(std::int64_t year, std::int64_t month)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t by)
{
    return value >= 0 ? value / by : -((-value + by - 1) / by);
}

// The first date of the grid `at(0)`, `at(1)`, ... that lies after `after`, searched from an estimate
// of its step number. Nothing when a date cannot be made.
std::optional<std::int64_t> FirstAfter(const std::function<std::optional<std::int64_t>(std::int64_t)>& at,
                                       std::int64_t estimate,
                                       std::int64_t after)
{
    std::int64_t step = std::max<std::int64_t>(0, estimate);
    std::optional<std::int64_t> date = at(step);
    // Back to a date at or before `after` (or the first one), then forward to the first after it.
    for (int i = 0; date && *date > after && step > 0 && i < kMostCorrections; ++i) {
        date = at(--step);
    }
    for (int i = 0; date && *date <= after; ++i) {
        if (i == kMostCorrections) {
            return std::nullopt;
        }
        date = at(++step);
    }
    return date;
}

std::optional<std::int64_t> EveryFewDays(const RecurringSchedule& schedule, const LocalFields& start)
{
    const std::int64_t days = schedule.dayValue;
    const std::int64_t estimate
        = FloorDiv(std::int64_t{schedule.lastPurchased} - schedule.startDate, days * kDaySeconds);
    return FirstAfter(
        [&](std::int64_t step) -> std::optional<std::int64_t> {
            if (step == 0) {
                return schedule.startDate;
            }
            return FromLocal(start.year, start.month, start.day + step * days, start);
        },
        estimate,
        schedule.lastPurchased);
}

std::optional<std::int64_t> Weekly(const RecurringSchedule& schedule, const LocalFields& start)
{
    const std::int64_t offset = (schedule.dayValue - start.weekday + 7) % 7;
    const std::int64_t days = 7 * std::int64_t{schedule.interval};
    const std::int64_t estimate = FloorDiv(
        std::int64_t{schedule.lastPurchased} - schedule.startDate - offset * kDaySeconds, days * kDaySeconds);
    return FirstAfter(
        [&](std::int64_t step) -> std::optional<std::int64_t> {
            if (step == 0 && offset == 0) {
                return schedule.startDate;
            }
            return FromLocal(start.year, start.month, start.day + offset + step * days, start);
        },
        estimate,
        schedule.lastPurchased);
}

std::optional<std::int64_t> Monthly(const RecurringSchedule& schedule, const LocalFields& start)
{
    // Months counted from year 0, so steps need no carrying by hand.
    std::int64_t first = start.year * 12 + (start.month - 1);
    if (schedule.dayValue < start.day) {
        ++first;
    }
    const std::int64_t interval = schedule.interval;
    std::int64_t estimate = 0;
    if (std::optional<LocalFields> last = ToLocal(schedule.lastPurchased)) {
        estimate = FloorDiv(last->year * 12 + (last->month - 1) - first, interval);
    }
    return FirstAfter(
        [&](std::int64_t step) -> std::optional<std::int64_t> {
            const std::int64_t months = first + step * interval;
            const std::int64_t year = FloorDiv(months, 12);
            const std::int64_t month = months - year * 12 + 1;
            const std::int64_t day = std::min<std::int64_t>(schedule.dayValue, DaysInMonth(year, month));
            return FromLocal(year, month, day, start);
        },
        estimate,
        schedule.lastPurchased);
}

} // namespace

std::int32_t RecurringSchedule::NextDue() const
{
    std::optional<std::int64_t> due;
    switch (static_cast<PurchaseType>(purchaseType)) {
    case PurchaseType::None:
        return 0;
    case PurchaseType::OneTime:
        return lastPurchased == 0 ? startDate : 0;
    case PurchaseType::EveryFewDays:
        if (dayValue >= 1) {
            if (std::optional<LocalFields> start = ToLocal(startDate)) {
                due = EveryFewDays(*this, *start);
            }
        }
        break;
    case PurchaseType::Weekly:
        if (interval >= 1 && dayValue >= 0 && dayValue <= 6) {
            if (std::optional<LocalFields> start = ToLocal(startDate)) {
                due = Weekly(*this, *start);
            }
        }
        break;
    case PurchaseType::Monthly:
        if (interval >= 1 && dayValue >= 1) {
            if (std::optional<LocalFields> start = ToLocal(startDate)) {
                due = Monthly(*this, *start);
            }
        }
        break;
    default:
        return 0;
    }
    // A date the records cannot hold is never reached by them either.
    if (!due || *due > std::numeric_limits<std::int32_t>::max()
        || *due < std::numeric_limits<std::int32_t>::min()) {
        return 0;
    }
    return static_cast<std::int32_t>(*due);
}

} // namespace tallyhawk
