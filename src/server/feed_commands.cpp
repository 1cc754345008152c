#include "server/feed_ingest.h"
#include "server/feed_poller.h"
#include "server/feed_schedule.h"
#include "server/feed_subscriptions.h"
#include "server/feeds/feed_link.h"
#include "server/item_input.h"
#include "server/item_store.h"
#include "server/server_commands.h"
#include "server/server_options.h"

#include <ctime>
#include <iostream>
#include <nlohmann/json.hpp>

namespace tallyhawk::server
{

namespace
{

int Usage(const std::string& message)
{
    std::cerr << "tallyhawk-server feeds: " << message << "\n";
    return kExitUsage;
}

std::int64_t Now()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::unique_ptr<ItemStore> OpenDatabase(const ServerOptions& options)
{
    std::string error;
    std::unique_ptr<ItemStore> items
        = ItemStore::Open(options.Value("--db").value_or(kDefaultDatabase), error);
    if (!items) {
        std::cerr << "tallyhawk-server: " << error << ".\n";
    }
    return items;
}

std::string Time(std::int64_t seconds)
{
    if (seconds <= 0) {
        return "never";
    }
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    ::gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

const char* KindName(std::int32_t kind)
{
    return kind == 1 ? "coupon" : kind == 2 ? "deal" : "topic";
}

std::optional<std::int64_t> FeedId(const ServerOptions& options)
{
    if (options.positionals().size() != 2) {
        return std::nullopt;
    }
    std::optional<long long> id = WholeNumber(options.positionals()[1], 1, 1LL << 62);
    return id ? std::optional<std::int64_t>(*id) : std::nullopt;
}

void PrintTaken(const FeedSubscription& feed, const FeedPoller::Report& report)
{
    std::cout << "Feed " << feed.id << ": " << report.result << "\n";
    for (const ServerItem& item : report.taken) {
        std::cout << "  " << KindName(item.kind) << " " << item.id << ": " << item.title << "\n";
    }
}

int Add(const ServerOptions& options)
{
    if (options.positionals().size() != 2) {
        return Usage("use: feeds add URL --kind deal|coupon|topic [--store NAME] [--category NAME] "
                     "[--every MINUTES] [--title TEXT].");
    }
    FeedSubscription feed;
    feed.url = FeedLink::Resolve(options.positionals()[1], "");
    if (feed.url.empty()) {
        return Usage("the feed's address must be an http or https address.");
    }
    std::optional<std::int32_t> kind = ItemInput::Kind(options.Value("--kind").value_or(""));
    if (!kind) {
        return Usage("--kind must be deal, coupon or topic.");
    }
    feed.kind = *kind;
    feed.every = FeedSchedule::kDefaultEvery;
    if (std::optional<std::string> every = options.Value("--every")) {
        std::optional<long long> minutes = WholeNumber(*every, FeedSchedule::kShortestEvery, 7 * 24 * 60);
        if (!minutes) {
            return Usage("--every takes minutes, 5 or more: a feed is fetched no more often than every 5 "
                         "minutes.");
        }
        feed.every = static_cast<std::int32_t>(*minutes);
    }
    feed.store = options.Value("--store").value_or("");
    feed.category = options.Value("--category").value_or("");
    const std::unique_ptr<ItemStore> store = OpenDatabase(options);
    if (!store) {
        return kExitFailure;
    }
    ItemStore& items = *store;
    FeedPoller poller(items, {});
    const FeedPoller::Look look = poller.LookAt(feed.url);
    if (!look.failure.empty()) {
        std::cerr << "tallyhawk-server: " << feed.url << " was not added: " << look.failure << ".\n";
        return kExitFailure;
    }
    std::cout << "Format: " << FeedFormatName(look.feed.format) << "\n"
              << "Title: " << look.feed.title << "\n"
              << "Entries: " << look.feed.entries.size() << "\n";
    for (std::size_t i = 0; i < look.feed.entries.size() && i < 3; ++i) {
        std::cout << "  " << FeedIngest::ItemOf(feed, look.feed.entries[i], {}).title << "\n";
    }
    feed.title = options.Value("--title").value_or(look.feed.title);
    feed.nextFetch = Now(); // the service takes the entries at its first look
    std::string error;
    std::optional<std::int64_t> id = FeedSubscriptions(items).Add(feed, &error);
    if (!id) {
        std::cerr << "tallyhawk-server: The feed was not added: " << error << ".\n";
        return kExitFailure;
    }
    std::cout << "Added feed " << *id << ".\n";
    return kExitOk;
}

nlohmann::json JsonOf(const FeedSubscription& feed)
{
    return {{"id", feed.id},
            {"url", feed.url},
            {"kind", KindName(feed.kind)},
            {"store", feed.store},
            {"category", feed.category},
            {"every", feed.every},
            {"title", feed.title},
            {"last_fetch", feed.lastFetch},
            {"last_result", feed.lastResult},
            {"next_fetch", feed.nextFetch},
            {"failures", feed.failures},
            {"failing", FeedSchedule::Failing(feed)},
            {"taken", feed.taken}};
}

int List(const ServerOptions& options)
{
    const std::unique_ptr<ItemStore> store = OpenDatabase(options);
    if (!store) {
        return kExitFailure;
    }
    ItemStore& items = *store;
    std::string error;
    std::optional<std::vector<FeedSubscription>> feeds = FeedSubscriptions(items).All(&error);
    if (!feeds) {
        std::cerr << "tallyhawk-server: The feeds could not be read: " << error << ".\n";
        return kExitFailure;
    }
    if (options.Has("--json")) {
        nlohmann::json list = nlohmann::json::array();
        for (const FeedSubscription& feed : *feeds) {
            list.push_back(JsonOf(feed));
        }
        std::cout << list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        return kExitOk;
    }
    if (feeds->empty()) {
        std::cout << "No feeds.\n";
    }
    for (const FeedSubscription& feed : *feeds) {
        std::cout << feed.id << "  " << feed.url << "  " << KindName(feed.kind) << "\n"
                  << "    last fetch: " << Time(feed.lastFetch)
                  << (feed.lastFetch > 0 ? " (" + feed.lastResult + ")" : std::string()) << "\n"
                  << "    next fetch: " << Time(feed.nextFetch)
                  << (FeedSchedule::Failing(feed) ? " (failing: fetched once a day)" : "") << "\n"
                  << "    taken: " << feed.taken << "\n";
    }
    return kExitOk;
}

int Remove(const ServerOptions& options)
{
    std::optional<std::int64_t> id = FeedId(options);
    if (!id) {
        return Usage("use: feeds remove ID.");
    }
    const std::unique_ptr<ItemStore> store = OpenDatabase(options);
    if (!store) {
        return kExitFailure;
    }
    ItemStore& items = *store;
    std::string error;
    if (!FeedSubscriptions(items).Remove(*id, &error)) {
        std::cerr << "tallyhawk-server: "
                  << (error.empty() ? "There is no feed " + std::to_string(*id)
                                    : "The feed was not removed: " + error)
                  << ".\n";
        return kExitFailure;
    }
    std::cout << "Removed feed " << *id << ".\n";
    return kExitOk;
}

int Poll(const ServerOptions& options)
{
    if (options.positionals().size() > 2) {
        return Usage("use: feeds poll [ID].");
    }
    std::optional<std::int64_t> id = FeedId(options);
    if (options.positionals().size() == 2 && !id) {
        return Usage("use: feeds poll [ID].");
    }
    const std::unique_ptr<ItemStore> store = OpenDatabase(options);
    if (!store) {
        return kExitFailure;
    }
    ItemStore& items = *store;
    std::string error;
    std::optional<std::vector<FeedSubscription>> feeds;
    if (id) {
        std::optional<FeedSubscription> feed = FeedSubscriptions(items).Find(*id, &error);
        if (feed) {
            feeds = std::vector<FeedSubscription>{*feed};
        } else if (error.empty()) {
            std::cerr << "tallyhawk-server: There is no feed " << *id << ".\n";
            return kExitFailure;
        }
    } else {
        feeds = FeedSubscriptions(items).All(&error);
    }
    if (!feeds) {
        std::cerr << "tallyhawk-server: The feeds could not be read: " << error << ".\n";
        return kExitFailure;
    }
    FeedPoller poller(items, {});
    bool allFetched = true;
    for (FeedSubscription& feed : *feeds) {
        const FeedPoller::Report report = poller.Poll(feed, Now());
        PrintTaken(feed, report);
        allFetched = allFetched && feed.failures == 0;
    }
    return allFetched ? kExitOk : kExitFailure;
}

} // namespace

int RunFeeds(const std::vector<std::string>& args)
{
    ServerOptions options;
    if (std::optional<std::string> error = options.Parse(
            args, {"--db", "--kind", "--store", "--category", "--every", "--title"}, {"--json"})) {
        return Usage(*error);
    }
    const std::string action = options.positionals().empty() ? "" : options.positionals()[0];
    if (action == "add") {
        return Add(options);
    }
    if (action == "list" && options.positionals().size() == 1) {
        return List(options);
    }
    if (action == "remove") {
        return Remove(options);
    }
    if (action == "poll") {
        return Poll(options);
    }
    return Usage("use: feeds add|list|remove|poll.");
}

} // namespace tallyhawk::server
