#include "server/feed_poller.h"

#include "server/feed_ingest.h"
#include "server/feed_schedule.h"
#include "server/feed_subscriptions.h"
#include "server/feeds/feed_parser.h"
#include "server/item_store.h"
#include "server/server_log.h"

namespace tallyhawk::server
{

std::string FeedProblem(const ParsedFeed& feed)
{
    switch (feed.status) {
    case FeedStatus::Ok:
    case FeedStatus::CutOff:
        return {};
    case FeedStatus::Malformed:
        return "not a well-formed feed: " + feed.problem;
    case FeedStatus::NotAFeed:
        return "no feed found: " + feed.problem;
    case FeedStatus::Refused:
        return "refused: " + feed.problem;
    }
    return feed.problem;
}

std::string HttpProblem(long status)
{
    if (status == 200) {
        return {};
    }
    return "HTTP " + std::to_string(status);
}

FeedPoller::Look FeedPoller::LookAt(const std::string& url)
{
    Look look;
    FeedFetcher::Response response = FeedFetcher::Fetch({url, "", ""}, limits_);
    look.failure = !response.failure.empty() ? response.failure : HttpProblem(response.status);
    if (look.failure.empty()) {
        look.feed = FeedParser::Parse(response.body, response.url);
        look.failure = FeedProblem(look.feed);
    }
    return look;
}

FeedPoller::Report FeedPoller::Poll(FeedSubscription& feed, std::int64_t now)
{
    Report report;
    FeedFetcher::Response response = FeedFetcher::Fetch({feed.url, feed.etag, feed.lastModified}, limits_);
    feed.lastFetch = now;
    FeedSchedule::Outcome outcome = FeedSchedule::Outcome::Failed;
    std::optional<std::int64_t> retryAfter;
    if (!response.failure.empty()) {
        report.result = response.failure;
    } else if (response.status == 304) {
        report.result = "not modified";
        outcome = FeedSchedule::Outcome::Fetched;
    } else if (response.status == 429 || response.status == 503) {
        outcome = FeedSchedule::Outcome::Throttled;
        retryAfter = FeedFetcher::RetryAfterSeconds(response.retryAfter, now);
        report.result = HttpProblem(response.status) + (retryAfter ? ", asked to wait " : ", backing off");
        if (retryAfter) {
            report.result += std::to_string(*retryAfter) + " s";
        }
    } else if (response.status != 200) {
        report.result = HttpProblem(response.status);
    } else {
        ParsedFeed parsed = FeedParser::Parse(response.body, response.url);
        report.result = FeedProblem(parsed);
        if (report.result.empty()) {
            std::string error;
            std::optional<std::deque<ServerItem>> taken
                = FeedIngest::Take(items_, feed, std::move(parsed.entries), now, &error);
            if (!taken) {
                report.result = "not stored: " + error;
            } else {
                outcome = FeedSchedule::Outcome::Fetched;
                report.taken = std::move(*taken);
                feed.taken += static_cast<std::int64_t>(report.taken.size());
                report.result = std::to_string(report.taken.size())
                    + (report.taken.size() == 1 ? " new entry" : " new entries");
                if (parsed.status == FeedStatus::CutOff) {
                    report.result += "; the feed is over 8 MiB and was cut off";
                }
                // Validators are kept only once the entries are stored, so a failure is fetched again.
                feed.etag = response.etag;
                feed.lastModified = response.lastModified;
            }
        }
    }
    FeedSchedule::After(feed, outcome, retryAfter, now);
    if (FeedSchedule::Failing(feed)) {
        report.result += " (failing: " + std::to_string(feed.failures) + " failures in a row)";
    }
    feed.lastResult = report.result;
    std::string error;
    if (!FeedSubscriptions(items_).SaveFetch(feed, &error)) {
        LogLine("feed " + std::to_string(feed.id) + ": its state was not saved: " + error);
    }
    return report;
}

std::vector<std::pair<FeedSubscription, FeedPoller::Report>> FeedPoller::PollDue(std::int64_t (*now)())
{
    std::vector<std::pair<FeedSubscription, Report>> polled;
    std::string error;
    std::optional<std::vector<FeedSubscription>> due = FeedSubscriptions(items_).Due(now(), &error);
    if (!due) {
        LogLine("the feeds could not be read: " + error);
        return polled;
    }
    for (const FeedSubscription& listed : *due) {
        if (limits_.cancelled && limits_.cancelled()) {
            break;
        }
        const std::unique_ptr<StoreLease> lease = items_.TryLease(kLeaseFeed, LeaseId(listed.id));
        if (!lease) {
            continue; // another instance polls it now
        }
        // Read again under the lease: an instance that polled it since the list was read has moved its
        // next fetch on, and the feed is not fetched twice for one turn.
        std::optional<FeedSubscription> feed = FeedSubscriptions(items_).Find(listed.id);
        const std::int64_t at = now();
        if (!feed || feed->nextFetch > at) {
            continue;
        }
        Report report = Poll(*feed, at);
        polled.emplace_back(std::move(*feed), std::move(report));
    }
    return polled;
}

std::optional<std::pair<FeedSubscription, FeedPoller::Report>> FeedPoller::PollLeased(std::int64_t feedId,
                                                                                      std::int64_t now)
{
    const std::unique_ptr<StoreLease> lease = items_.TryLease(kLeaseFeed, LeaseId(feedId));
    std::optional<FeedSubscription> feed = lease ? FeedSubscriptions(items_).Find(feedId) : std::nullopt;
    if (!feed) {
        return std::nullopt;
    }
    Report report = Poll(*feed, now);
    return std::make_pair(std::move(*feed), std::move(report));
}

std::int32_t FeedPoller::LeaseId(std::int64_t feedId)
{
    // Feed ids stay far below 2^31; one above would share a lease, which only makes it wait its turn.
    return static_cast<std::int32_t>(feedId & 0x7fffffff);
}

} // namespace tallyhawk::server
