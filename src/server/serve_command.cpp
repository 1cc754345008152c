#include "core/common/program_version.h"
#include "server/deal_server.h"
#include "server/demo_catalogue.h"
#include "server/demo_feed.h"
#include "server/demo_shops.h"
#include "server/feed_poll_loop.h"
#include "server/feed_schedule.h"
#include "server/feed_subscriptions.h"
#include "server/item_store.h"
#include "server/request_answer.h"
#include "server/server_commands.h"
#include "server/server_log.h"
#include "server/server_options.h"
#include "server/site_server.h"

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <thread>

namespace tallyhawk::server
{

namespace
{

struct ServeSettings
{
    std::string db = kDefaultDatabase;
    std::string host = "127.0.0.1";
    std::uint16_t port = 8022;
    std::uint16_t httpPort = 8080;
    std::string version{kProgramVersion};
    std::optional<std::string> configFile;
    bool demo = false;
    int every = 5;
};

std::optional<std::string> ReadSettings(const std::vector<std::string>& args, ServeSettings& settings)
{
    ServerOptions options;
    if (std::optional<std::string> error
        = options.Parse(args,
                        {"--db", "--host", "--port", "--http-port", "--version", "--config-file", "--every"},
                        {"--demo"})) {
        return error;
    }
    if (!options.positionals().empty()) {
        return "Unexpected word " + options.positionals()[0] + ".";
    }
    settings.db = options.Value("--db").value_or(settings.db);
    settings.host = options.Value("--host").value_or(settings.host);
    settings.version = options.Value("--version").value_or(settings.version);
    settings.configFile = options.Value("--config-file");
    settings.demo = options.Has("--demo");
    const std::pair<const char*, std::uint16_t*> ports[]
        = {{"--port", &settings.port}, {"--http-port", &settings.httpPort}};
    for (const auto& [name, port] : ports) {
        if (std::optional<std::string> text = options.Value(name)) {
            std::optional<long long> number = WholeNumber(*text, 0, 65535);
            if (!number) {
                return std::string("The port after ") + name + " must be a number from 0 to 65535.";
            }
            *port = static_cast<std::uint16_t>(*number);
        }
    }
    if (std::optional<std::string> every = options.Value("--every")) {
        std::optional<long long> seconds = WholeNumber(*every, 1, 3600);
        if (!seconds || !settings.demo) {
            return "--every goes with --demo and takes seconds from 1 to 3600.";
        }
        settings.every = static_cast<int>(*seconds);
    }
    return std::nullopt;
}

std::int32_t Now()
{
    return static_cast<std::int32_t>(std::time(nullptr));
}

// Descriptors kept for the database, the log, the listeners and the like.
constexpr rlim_t kReservedDescriptors = 64;
// The most either server holds at once, when descriptors allow.
constexpr std::size_t kMostConnections = 1000;
// SIGTERM ends the service within this time, whatever its clients do.
constexpr std::chrono::milliseconds kStopTime{1500};

// Each server's connection bound, so that both together stay within the descriptor limit and accept
// rarely finds none left.
std::size_t ConnectionBound()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return kMostConnections;
    }
    const rlim_t spare = limit.rlim_cur > 2 * kReservedDescriptors ? limit.rlim_cur - kReservedDescriptors
                                                                   : limit.rlim_cur / 2;
    return std::clamp<std::size_t>(static_cast<std::size_t>(spare / 2), 1, kMostConnections);
}

// A database file removed or replaced under the running service would take every later post where
// the service never looks: the file now at the path is served instead.
void FollowReplacedFile(ItemStore& items, const std::string& path)
{
    if (!items.FileReplaced()) {
        return;
    }
    LogLine(path + " was removed or replaced; serving the file now at that path");
    if (std::optional<std::string> error = items.Reopen()) {
        LogLine(*error);
    } else if (const std::string notice = items.notice(); !notice.empty()) {
        LogLine(notice);
    }
}

// Waits for Ctrl-C or SIGTERM, posting a new demo item every `every` seconds meanwhile when asked, and
// looking at the database file every second. Of several instances on one database, the one holding the
// demo poster's lease posts; another takes it over when that one ends.
void WaitForSignal(const sigset_t& signals,
                   ItemStore& items,
                   const ServeSettings& settings,
                   std::unique_ptr<StoreLease> poster)
{
    using Clock = std::chrono::steady_clock;
    std::uint32_t posted = 0;
    Clock::time_point nextPost = Clock::now() + std::chrono::seconds(settings.every);
    while (true) {
        timespec wait{1, 0};
        if (::sigtimedwait(&signals, nullptr, &wait) > 0) {
            return;
        }
        FollowReplacedFile(items, settings.db);
        if (settings.demo && Clock::now() >= nextPost) {
            nextPost = Clock::now() + std::chrono::seconds(settings.every);
            if (!poster || !poster->Held()) {
                poster = items.TryLease(kLeaseDemoPoster, 0);
                if (!poster) {
                    continue;
                }
            }
            std::string error;
            if (std::optional<ServerItem> item
                = items.Post(DemoCatalogue::NewItem(posted++, Now()), &error)) {
                std::cout << "Posted item " << item->id << ": " << item->title << "\n" << std::flush;
            } else {
                LogLine("the demo item was not posted: " + error);
            }
        }
    }
}

// The demo takes its own site's sample feed as any feed is taken: subscribed once per address.
std::optional<std::int64_t> SubscribeDemoFeed(ItemStore& items, const std::string& url)
{
    FeedSubscriptions feeds(items);
    std::string error;
    if (std::optional<std::vector<FeedSubscription>> all = feeds.All(&error)) {
        for (const FeedSubscription& feed : *all) {
            if (feed.url == url) {
                return feed.id;
            }
        }
        FeedSubscription feed;
        feed.url = url;
        feed.kind = 2;
        feed.store = DemoFeed::kStore;
        feed.title = "Tallyhawk demo deals";
        // Its entries arrive while the demo runs, as the posted items do, not with the first items.
        feed.nextFetch = Now() + std::int64_t{FeedSchedule::kDefaultEvery} * 60;
        if (std::optional<std::int64_t> id = feeds.Add(feed, &error)) {
            return id;
        }
    }
    LogLine("the demo feed was not subscribed: " + error);
    return std::nullopt;
}

// Waits up to kStopTime for `stopped`, or for a second signal.
bool WaitForStop(const sigset_t& signals, const std::atomic<bool>& stopped)
{
    const auto deadline = std::chrono::steady_clock::now() + kStopTime;
    while (!stopped && std::chrono::steady_clock::now() < deadline) {
        timespec slice{0, 20 * 1000 * 1000};
        if (::sigtimedwait(&signals, nullptr, &slice) > 0) {
            return stopped;
        }
    }
    return stopped;
}

} // namespace

int RunServe(const std::vector<std::string>& args)
{
    ServeSettings settings;
    if (std::optional<std::string> error = ReadSettings(args, settings)) {
        std::cerr << "tallyhawk-server serve: " << *error << "\n";
        return kExitUsage;
    }
    // The signals are taken by the wait below, never by a handler on another thread.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A reader of the output that went away must not end the service.
    ::signal(SIGPIPE, SIG_IGN);

    std::string openError;
    const std::unique_ptr<ItemStore> store = ItemStore::Open(settings.db, openError);
    if (!store) {
        std::cerr << "tallyhawk-server: " << openError << ".\n";
        return kExitFailure;
    }
    ItemStore& items = *store;
    // A damaged file would be served as fewer items than it holds: it is refused at the start.
    if (std::optional<std::string> problem = items.Check()) {
        if (ItemStore::IsPostgresUri(settings.db)) {
            // The address is not repeated: it may hold a password.
            std::cerr << "tallyhawk-server: the database cannot be read (" << *problem << ").\n";
            return kExitFailure;
        }
        std::cerr << "tallyhawk-server: " << settings.db << " is damaged (" << *problem
                  << "). Restore it from a backup, or recover it with sqlite3's .recover.\n";
        return kExitFailure;
    }
    if (const std::string notice = items.notice(); !notice.empty()) {
        LogLine(notice);
    }
    DemoShops shops;
    std::unique_ptr<StoreLease> poster;
    if (settings.demo) {
        // Seeded by the instance that will post, so that instances started together seed once.
        poster = items.TryLease(kLeaseDemoPoster, 0);
        if (poster) {
            DemoCatalogue::Seed(items, Now());
        }
    }
    RequestAnswer answer(items, settings.version);
    DealServer::Options dealOptions;
    dealOptions.host = settings.host;
    dealOptions.port = settings.port;
    dealOptions.maxConnections = ConnectionBound();
    DealServer deals(answer, dealOptions);
    SiteServer::Options siteOptions;
    siteOptions.host = settings.host;
    siteOptions.port = settings.httpPort;
    siteOptions.configFile = settings.configFile;
    siteOptions.maxConnections = ConnectionBound();
    DemoFeed demoFeed(shops, Now(), std::chrono::seconds(settings.every));
    if (settings.demo) {
        siteOptions.shops = &shops;
        siteOptions.demoFeed = &demoFeed;
    }
    SiteServer site(items, siteOptions);
    for (std::optional<std::string> error : {deals.Listen(), site.Listen()}) {
        if (error) {
            std::cerr << "tallyhawk-server: " << *error << ".\n";
            return kExitFailure;
        }
    }
    const std::string siteUrl = "http://" + settings.host + ":" + std::to_string(site.port());
    if (settings.demo && !settings.configFile) {
        // The demo agents read this server's own shops, at the address it really has.
        site.SetConfigText(shops.AgentConfiguration(siteUrl));
    }
    FeedPollLoop::Options feedOptions;
    if (settings.demo) {
        feedOptions.demoFeed = SubscribeDemoFeed(items, siteUrl + DemoFeed::kAtomPath);
        feedOptions.demoEvery = std::chrono::seconds(settings.every);
    }
    std::jthread dealThread([&deals](std::stop_token stop) { deals.Run(stop); });
    std::thread siteThread([&site] { site.Run(); });
    std::jthread feedThread(
        [&items, &feedOptions](std::stop_token stop) { FeedPollLoop::Run(items, feedOptions, stop); });
    std::cout << "Deal server: " << settings.host << ":" << deals.port() << "\n"
              << "Site: " << siteUrl << "\n"
              << std::flush;

    WaitForSignal(signals, items, settings, std::move(poster));
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        site.Stop();
        siteThread.join();
        dealThread.request_stop();
        dealThread.join();
        feedThread.request_stop();
        feedThread.join();
        stopped = true;
    });
    if (!WaitForStop(signals, stopped)) {
        // Something still holds on (or a second signal came): what is stored is whole, so the
        // process ends without waiting for it.
        std::cout << "Stopped.\n" << std::flush;
        std::_Exit(kExitOk);
    }
    stopper.join();
    std::cout << "Stopped.\n";
    return kExitOk;
}

} // namespace tallyhawk::server
