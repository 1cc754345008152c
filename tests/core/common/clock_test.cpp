#include "core/common/clock.h"
#include "support/mock_clock.h"

#include <gtest/gtest.h>

#include <ctime>
#include <limits>

namespace tallyhawk
{
namespace
{

TEST(Clock, SystemTimeUntilAClockIsInstalledAndAfterItGoes)
{
    const std::int64_t before = std::time(nullptr);
    const std::int32_t now = Clock::Now();
    EXPECT_GE(now, before);
    EXPECT_LE(now, std::time(nullptr));
    {
        MockClock clock(1107172800);
        EXPECT_EQ(Clock::Now(), 1107172800);
        clock.Advance(86400);
        EXPECT_EQ(Clock::Now(), 1107259200);
    }
    EXPECT_GE(Clock::Now(), before);
}

TEST(Clock, TimesOutsideThirtyTwoBitsAreClamped)
{
    MockClock clock(std::int64_t{1} << 40);
    EXPECT_EQ(Clock::Now(), std::numeric_limits<std::int32_t>::max());
    clock.Set(-(std::int64_t{1} << 40));
    EXPECT_EQ(Clock::Now(), std::numeric_limits<std::int32_t>::min());
    clock.Set(std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(Clock::Now(), std::numeric_limits<std::int32_t>::max());
}

} // namespace
} // namespace tallyhawk
