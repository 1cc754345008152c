#include "core/common/time_span.h"
#include "support/scoped_zone.h"

#include <gtest/gtest.h>

namespace tallyhawk
{
namespace
{

TEST(TimeSpan, LastDaysEndTonightAndTodayStartsAtMidnight)
{
    ScopedZone zone(kEasternZone);
    const std::int64_t tenAm = *LocalTime(2005, 6, 15, 10, 0, 0);
    const std::int32_t tonight = *LocalTime(2005, 6, 15, 23, 59, 59);
    TimeSpan three = TimeSpan::EndingToday(TimeSpan::kLast3Days, tenAm);
    EXPECT_EQ(three.to, tonight);
    EXPECT_EQ(three.from, tonight - 259200);
    EXPECT_EQ(three.from, *LocalTime(2005, 6, 12, 23, 59, 59));
    TimeSpan today = TimeSpan::EndingToday(TimeSpan::kToday, tenAm);
    EXPECT_EQ(today.from, *LocalTime(2005, 6, 15, 0, 0, 0));
    EXPECT_EQ(today.to, tonight);
    // The day the clocks go forward has 23 hours.
    const std::int64_t springDay = *LocalTime(2005, 3, 13, 12, 0, 0);
    TimeSpan spring = TimeSpan::EndingToday(TimeSpan::kToday, springDay);
    EXPECT_EQ(spring.to - spring.from, 23 * 3600 - 1);
}

TEST(TimeSpan, DaysAreLocalDayBoundaries)
{
    ScopedZone zone(kEasternZone);
    std::optional<TimeSpan> days = TimeSpan::Days(2005, 1, 31, 2005, 2, 1);
    ASSERT_TRUE(days);
    EXPECT_EQ(days->from, 1107147600); // 2005-01-31 05:00 UTC
    EXPECT_EQ(days->to, 1107320399);
    EXPECT_FALSE(TimeSpan::Days(2005, 2, 30, 2005, 3, 1));
    EXPECT_FALSE(TimeSpan::Days(2005, 13, 1, 2005, 3, 1));
    EXPECT_FALSE(LocalTime(2100, 1, 1, 0, 0, 0)); // beyond 32 bits
}

} // namespace
} // namespace tallyhawk
