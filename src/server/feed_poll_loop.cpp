#include "server/feed_poll_loop.h"

#include "server/feed_poller.h"
#include "server/feed_subscriptions.h"
#include "server/item_store.h"

#include <condition_variable>
#include <ctime>
#include <iostream>
#include <mutex>

namespace tallyhawk::server
{

namespace
{

std::int64_t Now()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

const char* KindWord(std::int32_t kind)
{
    return kind == 1 ? "coupon" : kind == 2 ? "deal" : "forum topic";
}

void Print(const FeedSubscription& feed, const FeedPoller::Report& report)
{
    std::string lines;
    for (const ServerItem& item : report.taken) {
        lines += "Feed " + std::to_string(feed.id) + ": took " + KindWord(item.kind) + " "
            + std::to_string(item.id) + ": " + item.title + "\n";
    }
    if (report.taken.empty() && feed.failures > 0) {
        lines += "Feed " + std::to_string(feed.id) + ": " + report.result + "\n";
    }
    std::cout << lines << std::flush;
}

} // namespace

void FeedPollLoop::Run(ItemStore& items, const Options& options, std::stop_token stop)
{
    FeedFetcher::Limits limits;
    limits.cancelled = [&stop] {
        return stop.stop_requested();
    };
    FeedPoller poller(items, limits);
    using Clock = std::chrono::steady_clock;
    Clock::time_point nextDemo = Clock::now() + options.demoEvery;
    std::mutex mutex;
    std::condition_variable_any wake;
    while (!stop.stop_requested()) {
        for (const auto& [feed, report] : poller.PollDue(&Now)) {
            Print(feed, report);
        }
        if (options.demoFeed && Clock::now() >= nextDemo && !stop.stop_requested()) {
            nextDemo = Clock::now() + options.demoEvery;
            if (auto polled = poller.PollLeased(*options.demoFeed, Now())) {
                Print(polled->first, polled->second);
            }
        }
        std::unique_lock<std::mutex> lock(mutex);
        wake.wait_for(lock, stop, options.look, [] { return false; });
    }
}

} // namespace tallyhawk::server
