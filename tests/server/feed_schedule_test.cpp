#include "server/feed_ingest.h"
#include "server/feed_schedule.h"
#include "server/feed_store_name.h"
#include "server/feeds/feed_coupon_code.h"
#include "server/feeds/feed_fetcher.h"

#include <gtest/gtest.h>

namespace tallyhawk::server
{
namespace
{

constexpr std::int64_t kNow = 1'800'000'000;

TEST(FeedSchedule, FailuresBackOffExponentiallyUpToSixHoursThenDaily)
{
    using Outcome = FeedSchedule::Outcome;
    struct Case
    {
        std::int32_t every;
        std::int32_t failuresBefore;
        Outcome outcome;
        std::optional<std::int64_t> retryAfter;
        std::int64_t wait;
        std::int32_t failuresAfter;
    };
    const Case cases[] = {
        {15, 3, Outcome::Fetched, std::nullopt, 15 * 60, 0},
        {1, 0, Outcome::Fetched, std::nullopt, 5 * 60, 0}, // never more often than every 5 minutes
        {15, 0, Outcome::Failed, std::nullopt, 30 * 60, 1},
        {15, 2, Outcome::Failed, std::nullopt, 120 * 60, 3},
        {15, 8, Outcome::Failed, std::nullopt, 6 * 3600, 9},
        {15, 9, Outcome::Failed, std::nullopt, 24 * 3600, 10},
        {15, 0, Outcome::Throttled, 7200, 7200, 1},
        {15, 0, Outcome::Throttled, 0, 60, 1},
        {15, 0, Outcome::Throttled, 365LL * 86400, FeedSchedule::kLongestRetryAfter, 1},
        {15, 1, Outcome::Throttled, std::nullopt, 60 * 60, 2},
    };
    for (const Case& entry : cases) {
        FeedSubscription feed;
        feed.every = entry.every;
        feed.failures = entry.failuresBefore;
        FeedSchedule::After(feed, entry.outcome, entry.retryAfter, kNow);
        EXPECT_EQ(feed.nextFetch - kNow, entry.wait)
            << entry.failuresBefore << " " << static_cast<int>(entry.outcome);
        EXPECT_EQ(feed.failures, entry.failuresAfter);
    }
}

TEST(FeedFetcher, RetryAfterIsSecondsOrAnHttpDate)
{
    EXPECT_EQ(FeedFetcher::RetryAfterSeconds(" 120 ", kNow), 120);
    EXPECT_EQ(FeedFetcher::RetryAfterSeconds("Fri, 15 Jan 2027 08:01:40 GMT", kNow), 100);
    EXPECT_EQ(FeedFetcher::RetryAfterSeconds("Fri, 15 Jan 2027 08:00:00 GMT", kNow), 0); // already past
    for (const char* bad : {"", "-5", "soon", "12abc"}) {
        EXPECT_EQ(FeedFetcher::RetryAfterSeconds(bad, kNow), std::nullopt) << bad;
    }
    EXPECT_NE(FeedFetcher::UserAgent().find("Tallyhawk"), std::string::npos);
}

TEST(FeedStoreName, AKnownStoreIsFoundByTheLinksHostElseTheHostIsTheStore)
{
    const std::vector<std::string> stores = {"Best Buy", "Home Depot"};
    struct Case
    {
        const char* link;
        const char* store;
    };
    const Case cases[] = {
        {"https://www.bestbuy.com/site/tv", "Best Buy"},
        {"http://user@HomeDepot.com:8080/x?y", "Home Depot"},
        {"https://www.target.com/p/1", "target.com"},
        {"https://deals.bestbuy.com/x", "deals.bestbuy.com"},
        {"", ""},
    };
    for (const Case& entry : cases) {
        EXPECT_EQ(FeedStoreName::ForLink(entry.link, stores), entry.store) << entry.link;
    }
}

TEST(FeedCouponCode, IsTheCapitalWordAfterCodeCouponOrUse)
{
    struct Case
    {
        const char* text;
        std::optional<std::string> code;
    };
    const Case cases[] = {
        {"20% off sitewide with code SAVE20", "SAVE20"},
        {"Coupon: LEAF5 - $5 off $40", "LEAF5"},
        {"Use BF2026 at checkout", "BF2026"},
        {"Promo code: spring (lower case is a word, not a code)", std::nullopt},
        {"No code needed, 50% off", std::nullopt},
        {"barcode ABC123 is not a code word", std::nullopt},
        {"code 12345 is all digits", std::nullopt},
        {"code AB", std::nullopt},
        {"code SAVE20x", std::nullopt},
    };
    for (const Case& entry : cases) {
        EXPECT_EQ(FeedCouponCode::First(entry.text), entry.code) << entry.text;
    }
}

TEST(FeedIngest, ACouponsExtraIsItsCodeAndADealsItsPrice)
{
    FeedEntry entry;
    entry.title.text = "$10 off $50 with code TEN50";
    FeedSubscription feed;
    feed.kind = 1;
    EXPECT_EQ(FeedIngest::ItemOf(feed, entry, {}).extra, "code TEN50");
    feed.kind = 2;
    EXPECT_EQ(FeedIngest::ItemOf(feed, entry, {}).extra, "$10");
    entry.title.text = "$10 off $50";
    feed.kind = 1;
    EXPECT_EQ(FeedIngest::ItemOf(feed, entry, {}).extra, "$10");
}

} // namespace
} // namespace tallyhawk::server
