#pragma once

#include "server/feed_subscription.h"

#include <cstdint>
#include <optional>

namespace tallyhawk::server
{

// When a feed is fetched next. A feed is fetched every `every` minutes (never more often than every
// kShortestEvery); a failure backs off exponentially up to kLongestBackoff, a host that asks to be
// left alone (429, 503) is left alone as long as its Retry-After says, and a feed that failed
// kFailuresToFailing times in a row is fetched once a day until it answers again.
class FeedSchedule
{
public:
    enum class Outcome
    {
        Fetched, // new entries or none, or not modified
        Throttled, // 429 or 503
        Failed,
    };
    static constexpr std::int32_t kShortestEvery = 5;
    static constexpr std::int32_t kDefaultEvery = 15;
    static constexpr std::int32_t kFailuresToFailing = 10;
    static constexpr std::int64_t kLongestBackoff = 6 * 3600;
    static constexpr std::int64_t kFailingInterval = 24 * 3600;
    // A Retry-After longer than this is taken as this: a typo on the host must not end polling.
    static constexpr std::int64_t kLongestRetryAfter = 7 * 24 * 3600;

    // Sets the failure count and the next fetch after a fetch at `now`.
    static void
    After(FeedSubscription& feed, Outcome outcome, std::optional<std::int64_t> retryAfter, std::int64_t now);
    static bool Failing(const FeedSubscription& feed) { return feed.failures >= kFailuresToFailing; }
};

} // namespace tallyhawk::server
