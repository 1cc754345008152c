#include "server/feeds/feed_date.h"

#include <gtest/gtest.h>

namespace tallyhawk::server
{
namespace
{

// 2003-06-10 04:00:00 UTC, worked out by hand: 12,213 days after 1970-01-01.
constexpr std::int64_t kJune10 = 12213LL * 86400 + 4 * 3600;

struct DateCase
{
    const char* text;
    std::optional<std::int64_t> seconds;
};

class Rfc822Dates : public testing::TestWithParam<DateCase>
{ };

TEST_P(Rfc822Dates, ReadAsUtc)
{
    EXPECT_EQ(FeedDate::ParseRfc822(GetParam().text), GetParam().seconds) << GetParam().text;
    EXPECT_EQ(FeedDate::Parse(GetParam().text), GetParam().seconds) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(FeedDate,
                         Rfc822Dates,
                         testing::Values(DateCase{"Tue, 10 Jun 2003 04:00:00 GMT", kJune10},
                                         DateCase{"10 Jun 2003 04:00:00 +0000", kJune10},
                                         DateCase{"Tue, 10 Jun 2003 04:00 UT", kJune10},
                                         DateCase{"  Tue,10 June 2003 04:00:00 Z  ", kJune10},
                                         DateCase{"Tue, 10 Jun 03 04:00:00 GMT", kJune10},
                                         DateCase{"Tue, 10 Jun 2003 00:00:00 EDT", kJune10},
                                         DateCase{"Mon, 09 Jun 2003 20:00:00 PST", kJune10},
                                         DateCase{"Mon, 09 Jun 2003 21:00:00 PDT", kJune10},
                                         DateCase{"Tue, 10 Jun 2003 05:30:00 +0130", kJune10},
                                         DateCase{"Mon, 09 Jun 2003 23:00:00 -0500", kJune10},
                                         DateCase{"Tue, 10 Jun 2003 04:00:00 A", kJune10},
                                         DateCase{"Tue, 10 Jun 2003 04:00:00", kJune10},
                                         DateCase{"Sat, 01 Jan 1999 00:00:00 GMT", 10592LL * 86400},
                                         DateCase{"29 Feb 2024 00:00:00 GMT", 19782LL * 86400},
                                         DateCase{"29 Feb 2023 00:00:00 GMT", std::nullopt},
                                         DateCase{"31 Apr 2003 04:00:00 GMT", std::nullopt},
                                         DateCase{"10 Jun 2003 24:00:00 GMT", std::nullopt},
                                         DateCase{"10 Jux 2003 04:00:00 GMT", std::nullopt},
                                         DateCase{"10 Jun 2003 04:00:00 XYZ", std::nullopt},
                                         DateCase{"10 Jun 2003 04:00:00 +99", std::nullopt},
                                         DateCase{"10 Jun 2003 04:00:00 GMT trailing", std::nullopt},
                                         DateCase{"10 Jun 2003", std::nullopt},
                                         DateCase{"", std::nullopt}));

class Rfc3339Dates : public testing::TestWithParam<DateCase>
{ };

TEST_P(Rfc3339Dates, ReadAsUtc)
{
    EXPECT_EQ(FeedDate::ParseRfc3339(GetParam().text), GetParam().seconds) << GetParam().text;
    EXPECT_EQ(FeedDate::Parse(GetParam().text), GetParam().seconds) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(FeedDate,
                         Rfc3339Dates,
                         testing::Values(DateCase{"2003-06-10T04:00:00Z", kJune10},
                                         DateCase{"2003-06-10t04:00:00z", kJune10},
                                         DateCase{"2003-06-10 04:00:00Z", kJune10},
                                         DateCase{"2003-06-10T04:00:00.123456Z", kJune10},
                                         DateCase{"2003-06-10T06:00:00+02:00", kJune10},
                                         DateCase{"2003-06-09T23:30:00-04:30", kJune10},
                                         DateCase{"2003-06-10T04:00Z", kJune10},
                                         DateCase{"2003-06-10T04:00:00", kJune10},
                                         DateCase{"2003-06-10", 12213LL * 86400},
                                         DateCase{"1969-12-31T23:59:59Z", -1},
                                         DateCase{"2003-13-10T04:00:00Z", std::nullopt},
                                         DateCase{"2003-06-10T04:00:00+0200", std::nullopt},
                                         DateCase{"2003-06-10T04:00:00.Z", std::nullopt},
                                         DateCase{"2003-6-10T04:00:00Z", std::nullopt},
                                         DateCase{"2003-06-10T04", std::nullopt}));

} // namespace
} // namespace tallyhawk::server
