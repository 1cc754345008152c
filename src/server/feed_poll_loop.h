#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>

namespace tallyhawk::server
{

class ItemStore;

// `serve`'s feed polling: each feed fetched when its schedule says, one after another, on a thread of
// its own, so a slow or silent feed host holds up neither the deal server nor the site. A stop ends a
// fetch in progress at once. Each item taken is printed on standard output.
class FeedPollLoop
{
public:
    struct Options
    {
        // How often the schedule is looked at.
        std::chrono::milliseconds look{1000};
        // The demo's own feed, served by this very process: fetched every `demoEvery` whatever its
        // schedule says, so items arrive by the feed as often as the demo posts them.
        std::optional<std::int64_t> demoFeed;
        std::chrono::seconds demoEvery{5};
    };

    static void Run(ItemStore& items, const Options& options, std::stop_token stop);
};

} // namespace tallyhawk::server
