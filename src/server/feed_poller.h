#pragma once

#include "server/feed_subscription.h"
#include "server/feeds/feed_fetcher.h"
#include "server/feeds/parsed_feed.h"
#include "server/server_item.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk::server
{

class ItemStore;

// One fetch of a feed: the conditional request, the parse, the entries taken as items, and the
// schedule and result kept for `feeds list`. Feeds are fetched one after another, so a host never has
// more than one request of this service at a time.
class FeedPoller
{
public:
    struct Report
    {
        std::string result; // as kept in the subscription
        std::deque<ServerItem> taken;
    };
    // What a fetch found, before anything is taken: for `feeds add`.
    struct Look
    {
        std::string failure; // empty when the feed was read
        ParsedFeed feed;
    };

    FeedPoller(ItemStore& items, FeedFetcher::Limits limits)
        : items_(items)
        , limits_(std::move(limits))
    { }

    // Fetches the feed at `now`, takes its new entries and saves what the next fetch needs.
    Report Poll(FeedSubscription& feed, std::int64_t now);
    // Polls each feed due at `now`, each with the time it is polled at; `now` is asked again per feed.
    // A feed another instance of the service polls at the time is left to it.
    std::vector<std::pair<FeedSubscription, Report>> PollDue(std::int64_t (*now)());
    // Polls the feed whatever its schedule, unless another instance polls it now (nothing then, or when
    // there is no such feed).
    std::optional<std::pair<FeedSubscription, Report>> PollLeased(std::int64_t feedId, std::int64_t now);
    // One unconditional fetch and parse.
    Look LookAt(const std::string& url);

private:
    static std::int32_t LeaseId(std::int64_t feedId);

    ItemStore& items_;
    FeedFetcher::Limits limits_;
};

// "RSS 2.0 feed ...": a parse that read nothing usable, in words; empty when it is usable.
std::string FeedProblem(const ParsedFeed& feed);
// An answer's status that is no feed, in words ("HTTP 404"); empty for 200.
std::string HttpProblem(long status);

} // namespace tallyhawk::server
