#include "core/common/time_span.h"
#include "core/shopping/purchase_type.h"
#include "core/shopping/recurring_schedule.h"
#include "core/shopping/shopping_filter.h"
#include "support/scoped_zone.h"

#include <gtest/gtest.h>

#include <ctime>
#include <limits>

namespace tallyhawk
{
namespace
{

constexpr const char* kBerlinZone = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr const char* kZones[] = {"UTC0", kEasternZone, kBerlinZone};

std::int32_t At(int year, int month, int day, int hour = 1)
{
    std::optional<std::int32_t> time = LocalTime(year, month, day, hour, 0, 0);
    EXPECT_TRUE(time.has_value());
    return time.value_or(0);
}

RecurringSchedule Schedule(
    PurchaseType type, std::uint16_t interval, std::int16_t day, std::int32_t start, std::int32_t last = 0)
{
    return RecurringSchedule{PurchaseTypeNumber(type), interval, day, start, last};
}

// "Mon 2024-03-11 01:00:00" in local time, so that a failure names the date.
std::string Local(std::int32_t time)
{
    const std::time_t value = time;
    std::tm fields{};
    localtime_r(&value, &fields);
    char text[64];
    std::strftime(text, sizeof text, "%a %Y-%m-%d %H:%M:%S %Z", &fields);
    return text;
}

class ScheduleInZone : public ::testing::TestWithParam<const char*>
{
protected:
    ScopedZone zone{GetParam()};
};

TEST_P(ScheduleInZone, EveryFewDaysKeepsItsGridAfterALatePurchase)
{
    // Monday 2024-01-08, every 3 days: due Monday; bought Tuesday, due Thursday (not Friday).
    const std::int32_t monday = At(2024, 1, 8);
    EXPECT_EQ(Local(Schedule(PurchaseType::EveryFewDays, 0, 3, monday).NextDue()), Local(monday));
    EXPECT_EQ(Local(Schedule(PurchaseType::EveryFewDays, 0, 3, monday, At(2024, 1, 9)).NextDue()),
              Local(At(2024, 1, 11)));
    // Bought before the first date: the first date stays.
    EXPECT_EQ(Schedule(PurchaseType::EveryFewDays, 0, 3, monday, monday - 3600).NextDue(), monday);
    // A year late: the first grid date after the purchase, across both daylight saving changes (366
    // days on is a grid date, as 366 is a multiple of 3).
    EXPECT_EQ(Local(Schedule(PurchaseType::EveryFewDays, 0, 3, monday, At(2025, 1, 7)).NextDue()),
              Local(At(2025, 1, 8)));
    EXPECT_EQ(Local(Schedule(PurchaseType::EveryFewDays, 0, 3, monday, At(2025, 1, 8)).NextDue()),
              Local(At(2025, 1, 11)));
}

TEST_P(ScheduleInZone, MonthlyOnTheThirtyFirstTakesEachMonthsLastDay)
{
    const std::int32_t start = At(2007, 1, 10);
    auto due = [&](std::int32_t last) {
        return Local(Schedule(PurchaseType::Monthly, 1, 31, start, last).NextDue());
    };
    EXPECT_EQ(due(0), Local(At(2007, 1, 31)));
    EXPECT_EQ(due(At(2007, 1, 31)), Local(At(2007, 2, 28)));
    EXPECT_EQ(due(At(2007, 2, 28)), Local(At(2007, 3, 31)));
    EXPECT_EQ(due(At(2007, 3, 31)), Local(At(2007, 4, 30)));
    // Leap years: 2008 and 2000 have 29 February, 2100 does not.
    EXPECT_EQ(Local(Schedule(PurchaseType::Monthly, 1, 31, At(2008, 2, 1), 0).NextDue()),
              Local(At(2008, 2, 29)));
    EXPECT_EQ(Local(Schedule(PurchaseType::Monthly, 1, 30, At(2000, 2, 1), 0).NextDue()),
              Local(At(2000, 2, 29)));
    EXPECT_EQ(Local(Schedule(PurchaseType::Monthly, 12, 29, At(2035, 2, 1), At(2035, 3, 1)).NextDue()),
              Local(At(2036, 2, 29)));
}

TEST_P(ScheduleInZone, MonthlyStartsInTheRightMonthAndCrossesTheYearEnd)
{
    // Day 5 started on the 10th: first due in February.
    EXPECT_EQ(Local(Schedule(PurchaseType::Monthly, 1, 5, At(2007, 1, 10)).NextDue()), Local(At(2007, 2, 5)));
    // Every 12 months on the 15th from 20 December 2005.
    const std::int32_t december = At(2005, 12, 20);
    EXPECT_EQ(Local(Schedule(PurchaseType::Monthly, 12, 15, december).NextDue()), Local(At(2006, 1, 15)));
    EXPECT_EQ(Local(Schedule(PurchaseType::Monthly, 12, 15, december, At(2006, 1, 15)).NextDue()),
              Local(At(2007, 1, 15)));
    // Every 12 months on the 1st from 1 December 2005: due that day, then a year on.
    const std::int32_t first = At(2005, 12, 1);
    EXPECT_EQ(Schedule(PurchaseType::Monthly, 12, 1, first).NextDue(), first);
    EXPECT_EQ(Local(Schedule(PurchaseType::Monthly, 12, 1, first, first).NextDue()), Local(At(2006, 12, 1)));
    // Every 6 months from July: January of the next year comes after July.
    const std::int32_t july = At(2006, 7, 3);
    EXPECT_EQ(Local(Schedule(PurchaseType::Monthly, 6, 3, july, july).NextDue()), Local(At(2007, 1, 3)));
    // Keeps the start's time of day, 10:30 here.
    const std::int32_t morning = LocalTime(2006, 3, 1, 10, 30, 0).value();
    EXPECT_EQ(Local(Schedule(PurchaseType::Monthly, 1, 15, morning, morning).NextDue()),
              Local(LocalTime(2006, 3, 15, 10, 30, 0).value()));
}

TEST_P(ScheduleInZone, WeeklyStartsOnItsWeekdayAndStepsWholeWeeks)
{
    // Started Monday 2024-01-08 for Wednesdays every 2 weeks.
    const std::int32_t monday = At(2024, 1, 8);
    EXPECT_EQ(Local(Schedule(PurchaseType::Weekly, 2, 3, monday).NextDue()), Local(At(2024, 1, 10)));
    EXPECT_EQ(Local(Schedule(PurchaseType::Weekly, 2, 3, monday, At(2024, 1, 10)).NextDue()),
              Local(At(2024, 1, 24)));
    // Bought ten days late: the next grid date, not ten days on.
    EXPECT_EQ(Local(Schedule(PurchaseType::Weekly, 2, 3, monday, At(2024, 1, 20)).NextDue()),
              Local(At(2024, 1, 24)));
    // Sunday is 0; the start's own weekday is due that day.
    EXPECT_EQ(Local(Schedule(PurchaseType::Weekly, 1, 0, monday).NextDue()), Local(At(2024, 1, 14)));
    EXPECT_EQ(Schedule(PurchaseType::Weekly, 1, 1, monday).NextDue(), monday);
    // Across the spring and autumn changes of both zones, still at 01:00 (every 4 weeks from 8 January:
    // 14 October, then 11 November).
    EXPECT_EQ(Local(Schedule(PurchaseType::Weekly, 1, 1, monday, At(2024, 3, 30)).NextDue()),
              Local(At(2024, 4, 1)));
    EXPECT_EQ(Local(Schedule(PurchaseType::Weekly, 4, 1, monday, At(2024, 10, 29)).NextDue()),
              Local(At(2024, 11, 11)));
}

TEST_P(ScheduleInZone, MarkedOnAnyDayADailyProductMovesToTheNextDay)
{
    // A mark is today at 01:00; the product must not stay due today, whatever the clocks did. Every
    // day of both change seasons, the change days themselves included.
    const std::int32_t start = At(2024, 1, 1);
    for (int month : {3, 10, 11}) {
        for (int day = 1; day <= 30; ++day) {
            const std::int32_t mark = LocalTimeOnDayOf(At(2024, month, day, 12), 1, 0, 0);
            const std::int32_t due = Schedule(PurchaseType::EveryFewDays, 0, 1, start, mark).NextDue();
            EXPECT_GT(due, mark) << Local(mark);
            const std::int32_t tomorrow = LocalTimeOnDayOf(At(2024, month, day, 12) + 86400, 1, 0, 0);
            EXPECT_EQ(Local(due), Local(tomorrow)) << Local(mark);
        }
    }
}

TEST_P(ScheduleInZone, OneTimeIsDueOnItsDateUntilPurchased)
{
    const std::int32_t date = At(2024, 5, 1);
    EXPECT_EQ(Schedule(PurchaseType::OneTime, 0, 0, date).NextDue(), date);
    EXPECT_EQ(Schedule(PurchaseType::OneTime, 0, 0, date, At(2024, 4, 1)).NextDue(), 0);
    EXPECT_EQ(Schedule(PurchaseType::None, 0, 0, date).NextDue(), 0);
}

INSTANTIATE_TEST_SUITE_P(Zones, ScheduleInZone, ::testing::ValuesIn(kZones));

TEST(RecurringSchedule, SchedulesThatCannotEndAreNeverDue)
{
    ScopedZone zone(kEasternZone);
    const std::int32_t start = At(2024, 1, 8);
    EXPECT_EQ(Schedule(PurchaseType::EveryFewDays, 0, 0, start).NextDue(), 0);
    EXPECT_EQ(Schedule(PurchaseType::EveryFewDays, 0, -3, start).NextDue(), 0);
    EXPECT_EQ(Schedule(PurchaseType::Weekly, 0, 3, start).NextDue(), 0);
    EXPECT_EQ(Schedule(PurchaseType::Weekly, 1, 7, start).NextDue(), 0);
    EXPECT_EQ(Schedule(PurchaseType::Weekly, 1, -1, start).NextDue(), 0);
    EXPECT_EQ(Schedule(PurchaseType::Monthly, 0, 3, start).NextDue(), 0);
    EXPECT_EQ(Schedule(PurchaseType::Monthly, 1, 0, start).NextDue(), 0);
    RecurringSchedule unknown = Schedule(PurchaseType::OneTime, 0, 0, start);
    unknown.purchaseType = 5;
    EXPECT_EQ(unknown.NextDue(), 0);
}

TEST(RecurringSchedule, DatesBeyondTheRecordsRangeEndAtOnce)
{
    ScopedZone zone(kBerlinZone);
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    // Daily from 1901 and bought in 2038: tens of thousands of steps, which must not be walked one by one
    // nor loop; the next date does not fit 32 bits.
    EXPECT_EQ(Schedule(PurchaseType::EveryFewDays, 0, 1, kMin, kMax - 10).NextDue(), 0);
    EXPECT_EQ(Schedule(PurchaseType::Weekly, 1, 3, kMin, kMax).NextDue(), 0);
    EXPECT_EQ(Schedule(PurchaseType::Monthly, 1, 31, kMin, kMax).NextDue(), 0);
    EXPECT_EQ(Schedule(PurchaseType::Monthly, 65535, 31, kMax, kMax).NextDue(), 0);
    EXPECT_EQ(Schedule(PurchaseType::Weekly, 65535, 6, 0, kMax).NextDue(), 0);
    // A date that still fits is found across the range.
    EXPECT_EQ(Local(Schedule(PurchaseType::EveryFewDays, 0, 1, At(1970, 1, 5), At(2038, 1, 10)).NextDue()),
              Local(At(2038, 1, 11)));
}

TEST(ShoppingFilter, ProductsPassWhenDueUpToTheEndOfTheFilter)
{
    ScopedZone zone(kEasternZone);
    ShoppingRecord product;
    product.purchaseType = PurchaseTypeNumber(PurchaseType::OneTime);
    product.startDate = At(2024, 5, 1);
    ItemFilter filter;
    filter.from = At(2024, 5, 10, 0);
    filter.to = At(2024, 5, 10, 23);
    // Overdue passes, with its due date computed on the way.
    EXPECT_TRUE(PassesFilter(product, filter, ShoppingFilterMode::Products));
    EXPECT_EQ(product.nextDue, product.startDate);
    product.startDate = At(2024, 5, 11);
    EXPECT_FALSE(PassesFilter(product, filter, ShoppingFilterMode::Products));
    // No end date: no product with a schedule passes; type 0 passes until it is bought.
    filter.to = 0;
    product.startDate = At(2024, 5, 1);
    EXPECT_FALSE(PassesFilter(product, filter, ShoppingFilterMode::Products));
    product.purchaseType = PurchaseTypeNumber(PurchaseType::None);
    EXPECT_TRUE(PassesFilter(product, filter, ShoppingFilterMode::Products));
    EXPECT_EQ(product.nextDue, 0);
    product.lastPurchased = At(2024, 5, 2);
    EXPECT_FALSE(PassesFilter(product, filter, ShoppingFilterMode::Products));
}

TEST(ShoppingFilter, CommonPartAndPurchaseDates)
{
    ShoppingValues values;
    values.name = "Whole Milk 2l";
    values.store.id = 5000;
    values.category.id = 12;
    values.startDate = 1000000;
    ShoppingRecord purchase = ShoppingRecord::Make(values, 1);
    ItemFilter filter;
    EXPECT_TRUE(PassesFilter(purchase, filter, ShoppingFilterMode::Purchases));
    filter.keyword = "milk WHOLE";
    EXPECT_TRUE(PassesFilter(purchase, filter, ShoppingFilterMode::Purchases));
    filter.keyword = "milk cream";
    EXPECT_FALSE(PassesFilter(purchase, filter, ShoppingFilterMode::Purchases));
    filter.keyword.reset();
    filter.storeId = 5001;
    EXPECT_FALSE(PassesFilter(purchase, filter, ShoppingFilterMode::Purchases));
    filter.storeId = 5000;
    filter.categoryId = 11;
    EXPECT_FALSE(PassesFilter(purchase, filter, ShoppingFilterMode::Purchases));
    filter.categoryId = 12;
    filter.from = 1000000;
    filter.to = 1000000;
    EXPECT_TRUE(PassesFilter(purchase, filter, ShoppingFilterMode::Purchases));
    filter.from = 1000001;
    EXPECT_FALSE(PassesFilter(purchase, filter, ShoppingFilterMode::Purchases));
    filter.from = 0;
    filter.to = 999999;
    EXPECT_FALSE(PassesFilter(purchase, filter, ShoppingFilterMode::Purchases));
}

} // namespace
} // namespace tallyhawk
