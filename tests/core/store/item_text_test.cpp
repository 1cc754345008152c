#include "core/common/time_span.h"
#include "core/store/item_record.h"
#include "core/store/item_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace tallyhawk
{
namespace
{

// Pins the local time zone for one test (a POSIX rule, so no zone database is needed).
class ScopedZone
{
public:
    explicit ScopedZone(const char* zone)
    {
        const char* old = std::getenv("TZ");
        if (old != nullptr) {
            old_ = old;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedZone()
    {
        if (old_) {
            ::setenv("TZ", old_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

private:
    std::optional<std::string> old_;
};

constexpr const char* kEastern = "EST5EDT,M3.2.0,M11.1.0";

TEST(ItemText, DatesInLocalTime)
{
    ScopedZone zone(kEastern);
    EXPECT_EQ(FormatItemDate(1107172800), "Mon 1/31/2005"); // 2005-01-31 12:00 UTC
    EXPECT_EQ(FormatItemDate(1107140400), "Sun 1/30/2005"); // 03:00 UTC is still the evening before
    EXPECT_EQ(FormatItemDate(1136091600), "Sun 1/1/2006"); // midnight local
}

TEST(ItemText, SecondLineOfARow)
{
    ScopedZone zone(kEastern);
    ItemValues values;
    values.kind = ItemRecord::kCoupon;
    values.description = "Half off";
    values.date = 1107172800;
    ItemRecord coupon = ItemRecord::Make(values, 0);
    EXPECT_EQ(ItemSecondLine(coupon), "Half off Expires: Mon 1/31/2005");
    coupon.date = 0;
    EXPECT_EQ(ItemSecondLine(coupon), "Half off Expires: unknown");
    coupon.kind = ItemRecord::kTopic;
    EXPECT_EQ(ItemSecondLine(coupon), "Half off Posted: unknown");
    coupon.kind = ItemRecord::kDeal;
    coupon.date = -7;
    EXPECT_EQ(ItemSecondLine(coupon), "Half off Expires: unknown");
    coupon.kind = ItemRecord::kProgramNotice;
    EXPECT_EQ(ItemDateWord(coupon.kind), "Posted");
}

TEST(TimeSpan, LastDaysEndTonightAndTodayStartsAtMidnight)
{
    ScopedZone zone(kEastern);
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
    ScopedZone zone(kEastern);
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
