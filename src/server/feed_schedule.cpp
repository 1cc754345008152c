#include "server/feed_schedule.h"

#include <algorithm>

namespace tallyhawk::server
{

void FeedSchedule::After(FeedSubscription& feed,
                         Outcome outcome,
                         std::optional<std::int64_t> retryAfter,
                         std::int64_t now)
{
    const std::int64_t every = std::int64_t{std::max(feed.every, kShortestEvery)} * 60;
    if (outcome == Outcome::Fetched) {
        feed.failures = 0;
        feed.nextFetch = now + every;
        return;
    }
    feed.failures = std::min(feed.failures + 1, kFailuresToFailing * 1000);
    std::int64_t wait = every;
    for (std::int32_t doubled = 0; doubled < feed.failures && wait < kLongestBackoff; ++doubled) {
        wait *= 2;
    }
    wait = std::min(wait, kLongestBackoff);
    if (Failing(feed)) {
        wait = kFailingInterval;
    }
    if (outcome == Outcome::Throttled && retryAfter) {
        // At least a minute, so a host answering "Retry-After: 0" is not fetched in a loop.
        wait = std::clamp<std::int64_t>(*retryAfter, 60, kLongestRetryAfter);
    }
    feed.nextFetch = now + wait;
}

} // namespace tallyhawk::server
