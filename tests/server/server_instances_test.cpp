// Several instances of the service on one PostgreSQL database: no item missed by a client, and work
// leased so that it is done once.
#include "core/protocol/reply_item.h"
#include "core/protocol/server_connection.h"
#include "core/protocol/wire_message.h"
#include "feed_test_host.h"
#include "pg_test_database.h"
#include "server/deal_server.h"
#include "server/demo_catalogue.h"
#include "server/demo_feed.h"
#include "server/feed_ingest.h"
#include "server/feed_poller.h"
#include "server/feed_subscriptions.h"
#include "server/item_store.h"
#include "server/pg_connection.h"
#include "server/request_answer.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <set>
#include <thread>

namespace tallyhawk::server
{
namespace
{

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

ServerItem Deal(std::string title)
{
    ServerItem item;
    item.kind = 2;
    item.title = std::move(title);
    item.storeName = "Corner Shop";
    item.categoryName = "Garden";
    return item;
}

std::string AtomFeed(int entries)
{
    std::string feed
        = "<?xml version=\"1.0\"?><feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Shop</title>";
    for (int i = 0; i < entries; ++i) {
        const std::string n = std::to_string(i);
        feed += "<entry><id>urn:" + n + "</id><title>Drill " + n + "</title><link href=\"/deal/" + n
            + "\"/></entry>";
    }
    return feed + "</feed>";
}

// Waits until `done` holds or `limit` passed; whether it holds.
template <typename Condition>
bool WaitFor(Condition done, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// One instance of the service as far as the deal protocol goes: its own store (its own connections)
// and deal server, on the shared database.
struct Instance
{
    explicit Instance(const std::string& uri)
    {
        std::string error;
        store = ItemStore::Open(uri, error);
        EXPECT_TRUE(store) << error;
        answer = std::make_unique<RequestAnswer>(*store, "1");
        DealServer::Options options;
        options.port = 0;
        deals = std::make_unique<DealServer>(*answer, options);
        EXPECT_EQ(deals->Listen(), std::nullopt);
        thread = std::jthread([this](std::stop_token stop) { deals->Run(stop); });
    }

    std::unique_ptr<ItemStore> store;
    std::unique_ptr<RequestAnswer> answer;
    std::unique_ptr<DealServer> deals;
    std::jthread thread;
};

class ServerInstancesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TALLYHAWK_NEEDS_POSTGRES();
        database = std::make_unique<test::PgTestDatabase>();
        ASSERT_FALSE(database->uri().empty()) << database->error();
    }
    std::unique_ptr<ItemStore> Store()
    {
        std::string error;
        std::unique_ptr<ItemStore> store = ItemStore::Open(database->uri(), error);
        EXPECT_TRUE(store) << error;
        return store;
    }

    std::unique_ptr<test::PgTestDatabase> database;
};

// A client of the deal protocol that asks, each time, for the deals after the highest id it holds.
class PollingClient
{
public:
    // Asks the instance once; false when the request failed.
    bool Poll(std::uint16_t port)
    {
        ServerConnection connection;
        connection.Configure("127.0.0.1", port);
        std::unique_ptr<WireMessage> reply = connection.FetchItems(2, highest_);
        if (!reply) {
            return false;
        }
        for (std::int32_t i = 0; i < ReplyItemCount(*reply); ++i) {
            const std::int32_t id = ReadReplyItem(*reply, i).id;
            twice_ += held_.insert(id).second ? 0 : 1;
            highest_ = std::max(highest_, id);
        }
        return true;
    }
    const std::set<std::int32_t>& held() const { return held_; }
    int twice() const { return twice_; }

private:
    std::int32_t highest_ = 0;
    std::set<std::int32_t> held_;
    int twice_ = 0;
};

TEST_F(ServerInstancesTest, ClientsPollingTwoInstancesWhileBothPostGetEveryItemOnce)
{
    Instance first(database->uri());
    Instance second(database->uri());
    ASSERT_TRUE(first.store && second.store);
    const std::uint16_t ports[] = {first.deals->port(), second.deals->port()};
    FeedSubscription feed;
    feed.url = "http://127.0.0.1:1/shop.atom";
    feed.store = "Tool Shed";
    feed.id = FeedSubscriptions(*first.store).Add(feed).value();
    first.store->AddStore("Corner Shop");
    first.store->AddStore("Tool Shed");
    first.store->AddCategory("Garden");
    first.store->AddCategory("General");

    // Each instance posts single items and takes feed entries in batches: a batch holds its ids open
    // while a single post beside it would commit a higher one.
    std::atomic<int> writing{0};
    std::atomic<int> failures{0};
    std::vector<std::jthread> writers;
    for (int w = 0; w < 4; ++w) {
        ItemStore& store = w % 2 == 0 ? *first.store : *second.store;
        ++writing;
        writers.emplace_back([&, w] {
            for (int round = 0; round < 15; ++round) {
                const std::string name = std::to_string(w) + "-" + std::to_string(round);
                if (w < 2) {
                    std::deque<FeedEntry> entries;
                    for (int e = 0; e < 15; ++e) {
                        FeedEntry entry;
                        entry.id = name + "-" + std::to_string(e);
                        entry.title.text = "Entry " + entry.id;
                        entry.link = "http://shop.test/" + entry.id;
                        entries.push_back(entry);
                    }
                    failures += FeedIngest::Take(store, feed, entries, std::time(nullptr)) ? 0 : 1;
                } else {
                    for (int p = 0; p < 5; ++p) {
                        failures += store.Post(Deal("Post " + name + "-" + std::to_string(p))) ? 0 : 1;
                    }
                }
            }
            --writing;
        });
    }
    std::vector<PollingClient> clients(50);
    std::atomic<int> failedPolls{0};
    {
        std::vector<std::jthread> polling;
        for (int c = 0; c < 50; ++c) {
            polling.emplace_back([&, c] {
                PollingClient& client = clients[c];
                int turn = c;
                while (writing > 0) {
                    failedPolls += client.Poll(ports[turn++ % 2]) ? 0 : 1;
                }
                // After the last post: two more turns, one on each instance, catch up with the end.
                for (int tail = 0; tail < 8; ++tail) {
                    failedPolls += client.Poll(ports[turn++ % 2]) ? 0 : 1;
                }
            });
        }
    }
    writers.clear();
    ASSERT_EQ(failures.load(), 0);
    EXPECT_EQ(failedPolls.load(), 0);
    std::set<std::int32_t> stored;
    const std::vector<ServerItem> all = first.store->ItemsAfter(2, 0, 100000).value();
    for (const ServerItem& item : all) {
        stored.insert(item.id);
    }
    ASSERT_EQ(stored.size(), 2u * 15 * 15 + 2u * 15 * 5);
    for (std::size_t c = 0; c < clients.size(); ++c) {
        EXPECT_EQ(clients[c].twice(), 0) << "client " << c;
        ASSERT_EQ(clients[c].held(), stored)
            << "client " << c << " missed " << stored.size() - clients[c].held().size() << " items";
    }
}

TEST_F(ServerInstancesTest, ALeaseIsHeldByOneInstanceAtATimeAndFreedWhenItsHolderLetsGo)
{
    std::unique_ptr<ItemStore> first = Store();
    std::unique_ptr<ItemStore> second = Store();
    std::unique_ptr<StoreLease> held = first->TryLease(kLeaseFeed, 7);
    ASSERT_TRUE(held);
    EXPECT_TRUE(held->Held());
    EXPECT_FALSE(second->TryLease(kLeaseFeed, 7));
    EXPECT_FALSE(first->TryLease(kLeaseFeed, 7)) << "the holder itself must not do the work twice";
    EXPECT_TRUE(second->TryLease(kLeaseFeed, 8));
    EXPECT_TRUE(second->TryLease(kLeaseDemoPoster, 7));
    held.reset();
    EXPECT_TRUE(second->TryLease(kLeaseFeed, 7));
}

TEST_F(ServerInstancesTest, ALeaseWhoseConnectionIsLostIsNoLongerHeldAndGoesToAnother)
{
    std::unique_ptr<ItemStore> first = Store();
    std::unique_ptr<ItemStore> second = Store();
    std::unique_ptr<StoreLease> held = first->TryLease(kLeaseFeed, 11);
    ASSERT_TRUE(held);
    std::string error;
    std::unique_ptr<PgConnection> admin = PgConnection::Connect(database->uri(), error);
    ASSERT_TRUE(admin) << error;
    // As when the database restarts or the network drops the holder's connection.
    ASSERT_EQ(admin->Execute("SELECT pg_terminate_backend(pid) FROM pg_locks WHERE locktype = 'advisory' "
                             "AND classid = 1 AND objid = 11"),
              std::nullopt);
    EXPECT_FALSE(held->Held());
    EXPECT_TRUE(WaitFor([&] { return second->TryLease(kLeaseFeed, 11) != nullptr; }, 5s));
    // The holder connects again for its next lease; the lost one stays lost.
    EXPECT_TRUE(WaitFor([&] { return first->TryLease(kLeaseFeed, 12) != nullptr; }, 5s));
    EXPECT_FALSE(held->Held());
}

TEST_F(ServerInstancesTest, TwoInstancesPollingTheSameDueFeedFetchItOnce)
{
    test::FeedTestHost host;
    host.Serve("/shop.atom", AtomFeed(3));
    std::unique_ptr<ItemStore> first = Store();
    std::unique_ptr<ItemStore> second = Store();
    FeedSubscription feed;
    feed.url = host.Url("/shop.atom");
    feed.store = "Tool Shed";
    FeedSubscriptions(*first).Add(feed);
    FeedPoller firstPoller(*first, {});
    FeedPoller secondPoller(*second, {});
    std::size_t polled = 0;
    {
        std::jthread other([&] { polled += secondPoller.PollDue([] { return std::int64_t{1000}; }).size(); });
        const std::size_t mine = firstPoller.PollDue([] { return std::int64_t{1000}; }).size();
        other.join();
        polled += mine;
    }
    EXPECT_EQ(polled, 1u);
    EXPECT_EQ(host.seen().size(), 1u);
    EXPECT_EQ(first->ItemCount(), 3);
}

// Holds the first request for the feed until the test opens the gate (or ends).
class HeldFirstFetch
{
public:
    void Wait()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (held_++ == 0) {
            opened_.wait_for(lock, 60s, [this] { return open_; });
        }
    }
    ~HeldFirstFetch()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    int held_ = 0;
    bool open_ = false;
};

TEST_F(ServerInstancesTest, AnInstanceKilledMidPollLeavesTheFeedToAnotherWhichTakesEachEntryOnce)
{
    test::TempDir dir;
    const std::string body = AtomFeed(4);
    test::FeedTestHost host;
    // Opened before the host stops, so that the held request ends.
    HeldFirstFetch gate;
    host.Handle("/shop.atom", [&](const httplib::Request&, httplib::Response& response) {
        gate.Wait();
        response.set_content(body, "application/atom+xml");
    });
    FeedSubscription feed;
    feed.url = host.Url("/shop.atom");
    feed.store = "Tool Shed";
    std::unique_ptr<ItemStore> items = Store();
    FeedSubscriptions(*items).Add(feed);

    test::ServerProcess holder(TALLYHAWK_SERVER_PATH, {"--db", database->uri()}, dir.path());
    ASSERT_TRUE(holder.started()) << holder.output();
    ASSERT_TRUE(WaitFor([&] { return host.seen().size() == 1; }, 10s)) << "the first instance never polled";
    test::ServerProcess other(TALLYHAWK_SERVER_PATH, {"--db", database->uri()}, dir.path());
    ASSERT_TRUE(other.started()) << other.output();
    // The other instance looks at the schedule every second: the leased feed stays with its holder.
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(host.seen().size(), 1u);

    holder.Kill();
    const auto killed = Clock::now();
    ASSERT_TRUE(WaitFor([&] { return host.seen().size() >= 2; }, 10s)) << "no instance took the feed over";
    // A feed is fetched every minute at most often; the other instance looks every second.
    EXPECT_LT(Clock::now() - killed, 5s);
    ASSERT_TRUE(WaitFor([&] { return items->ItemCount().value_or(0) >= 4; }, 10s));
    std::set<std::string> titles;
    const std::vector<ServerItem> taken = items->ItemsAfter(2, 0, 100).value();
    for (const ServerItem& item : taken) {
        EXPECT_TRUE(titles.insert(item.title).second) << item.title << " was posted twice";
    }
    EXPECT_EQ(titles.size(), 4u);
}

// The items the demo posted (and seeded), not those it took from its feed.
std::vector<ServerItem> DemoPosts(ItemStore& items)
{
    std::vector<ServerItem> posts;
    for (std::int32_t kind = 1; kind <= 3; ++kind) {
        for (ServerItem& item : items.ItemsAfter(kind, 0, 1000).value_or(std::vector<ServerItem>{})) {
            if (item.storeName != DemoFeed::kStore) {
                posts.push_back(std::move(item));
            }
        }
    }
    return posts;
}

TEST_F(ServerInstancesTest, OneOfTwoDemoInstancesSeedsAndPostsAndAnotherTakesOverWhenItDies)
{
    test::TempDir dir;
    std::unique_ptr<ItemStore> items = Store();
    const std::vector<std::string> demo = {"--db", database->uri(), "--demo", "--every", "1"};
    test::ServerProcess poster(TALLYHAWK_SERVER_PATH, demo, dir.path());
    ASSERT_TRUE(poster.started()) << poster.output();
    test::ServerProcess other(TALLYHAWK_SERVER_PATH, demo, dir.path());
    ASSERT_TRUE(other.started()) << other.output();
    const std::size_t seeded = DemoPosts(*items).size();
    ASSERT_GT(seeded, 0u);
    ASSERT_TRUE(WaitFor([&] { return DemoPosts(*items).size() >= seeded + 4; }, 15s));

    // The seed holds each of the catalogue's items once and each poster posts the catalogue from its
    // start: the first item three times or more would be a second seed or a second poster.
    const ServerItem first = DemoCatalogue::NewItem(0, 0);
    std::size_t copies = 0;
    for (const ServerItem& item : DemoPosts(*items)) {
        copies += item.kind == first.kind && item.title == first.title ? 1 : 0;
    }
    EXPECT_EQ(copies, 2u);

    poster.Kill();
    const std::size_t before = DemoPosts(*items).size();
    EXPECT_TRUE(WaitFor([&] { return DemoPosts(*items).size() >= before + 2; }, 10s))
        << "no instance took the posting over";
}

} // namespace
} // namespace tallyhawk::server
