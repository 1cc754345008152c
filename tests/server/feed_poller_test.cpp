#include "feed_test_host.h"
#include "server/feed_ingest.h"
#include "server/feed_poller.h"
#include "server/feed_schedule.h"
#include "server/feed_subscriptions.h"
#include "server/feeds/feed_parser.h"
#include "server/item_database.h"

#include <gtest/gtest.h>
#include <httplib.h>

namespace tallyhawk::server
{
namespace
{

using namespace std::chrono_literals;

constexpr std::int64_t kNow = 1'800'000'000;

std::string Rss(const std::string& items, const std::string& head = "<?xml version=\"1.0\"?>")
{
    return head + "<rss version=\"2.0\"><channel><title>Deals</title>" + items + "</channel></rss>";
}

std::string RssItem(const std::string& guid, const std::string& title, const std::string& link)
{
    return "<item><guid>" + guid + "</guid><title>" + title + "</title><link>" + link + "</link></item>";
}

class FeedPollerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(items.Open(":memory:"), std::nullopt); }

    FeedSubscription Subscribe(const std::string& path, const std::string& store = "Shop")
    {
        FeedSubscription feed;
        feed.url = host.Url(path);
        feed.store = store;
        std::optional<std::int64_t> id = FeedSubscriptions(items).Add(feed);
        EXPECT_TRUE(id);
        feed.id = id.value_or(0);
        return feed;
    }
    FeedPoller::Report Poll(FeedSubscription& feed, std::int64_t now = kNow)
    {
        return FeedPoller(items, limits).Poll(feed, now);
    }
    std::vector<std::string> Titles()
    {
        std::vector<std::string> titles;
        for (std::int32_t kind = 1; kind <= 3; ++kind) {
            const std::vector<ServerItem> ofKind = items.ItemsAfter(kind, 0, 1000).value();
            for (const ServerItem& item : ofKind) {
                titles.push_back(item.title);
            }
        }
        return titles;
    }

    test::FeedTestHost host;
    ItemDatabase items;
    FeedFetcher::Limits limits{2000ms, 5000ms, 0, {}};
};

TEST_F(FeedPollerTest, EachFormatBecomesItemsThatLeadToTheirEntries)
{
    struct Case
    {
        const char* name;
        std::string body;
    };
    const Case cases[] = {
        {"rss2", Rss(RssItem("a", "Rss deal", "https://shop.test/rss2"))},
        {"atom",
         "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>A</title><entry><id>a</id><title>Atom "
         "deal</title>"
         "<link href=\"https://shop.test/atom\"/></entry></feed>"},
        {"rdf",
         "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
         "xmlns=\"http://purl.org/rss/1.0/\">"
         "<channel rdf:about=\"x\"><title>R</title></channel><item rdf:about=\"https://shop.test/rdf\">"
         "<title>Rdf deal</title><link>https://shop.test/rdf</link></item></rdf:RDF>"},
        {"json",
         R"({"version":"https://jsonfeed.org/version/1.1","title":"J","items":[{"id":"a","title":"Json deal","url":"https://shop.test/json"}]})"},
    };
    for (const Case& format : cases) {
        host.Serve(std::string("/") + format.name, format.body);
        FeedSubscription feed = Subscribe(std::string("/") + format.name);
        const FeedPoller::Report report = Poll(feed);
        ASSERT_EQ(report.taken.size(), 1u) << format.name << ": " << report.result;
        EXPECT_EQ(items.LinkOf(report.taken[0].id), std::string("https://shop.test/") + format.name);
        EXPECT_EQ(report.taken[0].categoryName, "General");
        EXPECT_EQ(report.taken[0].date, 0);
    }
}

TEST_F(FeedPollerTest, AnExpiryAheadBecomesTheItemsDateAndAnyOtherLeavesItZero)
{
    struct Case
    {
        const char* expires;
        std::int32_t date;
    };
    const Case cases[] = {
        {"2027-02-01T00:00:00Z", 1'801'440'000},
        {"Mon, 01 Feb 2027 00:00:00 GMT", 1'801'440'000},
        // Past, or not a date at all: clients show "unknown" rather than an offer long over.
        {"2003-06-10T04:00:00Z", 0},
        {"2027-01-15T08:00:00Z", 0},
        {"when stocks last", 0},
        // Beyond what a client's 32-bit date holds.
        {"2039-01-01T00:00:00Z", 0},
    };
    int n = 0;
    for (const Case& expiry : cases) {
        const std::string path = "/expiring" + std::to_string(n++);
        host.Serve(path,
                   Rss("<item xmlns:deal=\"urn:x-deals\"><guid>" + path + "</guid><title>Kettle</title>"
                       + "<deal:expires>" + expiry.expires + "</deal:expires></item>"));
        FeedSubscription feed = Subscribe(path, path);
        const FeedPoller::Report report = Poll(feed);
        ASSERT_EQ(report.taken.size(), 1u) << expiry.expires << ": " << report.result;
        EXPECT_EQ(report.taken[0].date, expiry.date) << expiry.expires;
        // As stored, and so as sent to clients.
        EXPECT_EQ(items.Find(report.taken[0].id).value().date, expiry.date) << expiry.expires;
    }
}

TEST_F(FeedPollerTest, TheNextFetchIsConditionalAnd304IsNotModified)
{
    host.Serve("/feed", Rss(RssItem("a", "One", "https://shop.test/1")));
    FeedSubscription feed = Subscribe("/feed");
    ASSERT_EQ(Poll(feed).taken.size(), 1u);
    const FeedPoller::Report again = Poll(feed, kNow + 900);
    EXPECT_EQ(again.result, "not modified");
    EXPECT_TRUE(again.taken.empty());
    const std::vector<test::FeedTestHost::Seen> seen = host.seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].headers.count("if-none-match"), 0u);
    EXPECT_EQ(seen[1].headers.at("if-none-match").front(), '"');
    EXPECT_EQ(seen[1].headers.at("if-modified-since"), "Tue, 10 Jun 2003 04:00:00 GMT");
    EXPECT_NE(seen[0].headers.at("user-agent").find("Tallyhawk"), std::string::npos);
    const FeedSubscription kept = FeedSubscriptions(items).Find(feed.id).value();
    EXPECT_EQ(kept.lastResult, "not modified");
    EXPECT_EQ(kept.nextFetch, kNow + 900 + 15 * 60);
    EXPECT_EQ(kept.taken, 1);
}

TEST_F(FeedPollerTest, A429WaitsAsLongAsRetryAfterAsksAndA503BacksOff)
{
    host.Handle("/busy", [](const httplib::Request&, httplib::Response& response) {
        response.status = 429;
        response.set_header("Retry-After", "3600");
    });
    host.Handle("/down", [](const httplib::Request&, httplib::Response& response) { response.status = 503; });
    FeedSubscription busy = Subscribe("/busy");
    EXPECT_EQ(Poll(busy).result, "HTTP 429, asked to wait 3600 s");
    EXPECT_EQ(FeedSubscriptions(items).Find(busy.id)->nextFetch, kNow + 3600);
    FeedSubscription down = Subscribe("/down");
    EXPECT_EQ(Poll(down).result, "HTTP 503, backing off");
    EXPECT_EQ(FeedSubscriptions(items).Find(down.id)->nextFetch, kNow + 2 * 15 * 60);
}

TEST_F(FeedPollerTest, ARedirectIsFollowedAndLinksResolveAgainstWhereTheFeedCameFrom)
{
    host.Serve("/new/feed.xml", Rss(RssItem("a", "Moved", "../deal/1")));
    host.Handle("/old", [this](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(host.Url("/new/feed.xml"), 301);
    });
    FeedSubscription feed = Subscribe("/old");
    const FeedPoller::Report report = Poll(feed);
    ASSERT_EQ(report.taken.size(), 1u) << report.result;
    EXPECT_EQ(items.LinkOf(report.taken[0].id), host.Url("/deal/1"));
}

TEST_F(FeedPollerTest, ARedirectToAnythingButHttpIsRefused)
{
    host.Handle("/away", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("file:///etc/passwd", 302);
    });
    FeedSubscription feed = Subscribe("/away");
    EXPECT_EQ(Poll(feed).result, "only http and https addresses are fetched");
    EXPECT_EQ(feed.failures, 1);
}

TEST_F(FeedPollerTest, HostileAndBrokenDocumentsTakeNothingAndSayWhy)
{
    // Ten levels of ten references each: 10^10 bytes if expanded.
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY a \"aaaaaaaaaa\">";
    for (char level = 'b'; level <= 'j'; ++level) {
        laughs += std::string("<!ENTITY ") + level + " \"";
        for (int i = 0; i < 10; ++i) {
            laughs += std::string("&") + static_cast<char>(level - 1) + ";";
        }
        laughs += "\">";
    }
    laughs += "]>" + Rss(RssItem("a", "&j;", "https://shop.test/1"), "");
    struct Case
    {
        const char* path;
        std::string body;
        const char* result;
    };
    const Case cases[] = {
        {"/broken", Rss("<item><title>Open</item>"), "not a well-formed feed"},
        {"/xxe",
         "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY leak SYSTEM \"file:///etc/passwd\">]>"
             + Rss(RssItem("a", "&leak;", "https://shop.test/1"), ""),
         "refused"},
        {"/laughs", laughs, "refused"},
        {"/page", "<html><body>Not a feed</body></html>", "no feed found"},
    };
    for (const Case& bad : cases) {
        host.Serve(bad.path, bad.body);
        FeedSubscription feed = Subscribe(bad.path);
        const FeedPoller::Report report = Poll(feed);
        EXPECT_TRUE(report.taken.empty()) << bad.path;
        EXPECT_EQ(report.result.rfind(bad.result, 0), 0u) << bad.path << ": " << report.result;
        EXPECT_EQ(feed.failures, 1) << bad.path;
    }
    EXPECT_TRUE(Titles().empty());
}

TEST_F(FeedPollerTest, AnOversizedFeedIsCutOffAndReported)
{
    std::string entries;
    for (int i = 0; entries.size() < FeedParser::kMaxFeedBytes + 100'000; ++i) {
        entries += RssItem("g" + std::to_string(i),
                           "Deal " + std::to_string(i),
                           "https://shop.test/" + std::to_string(i))
            + std::string(2000, ' ');
    }
    host.Serve("/huge", Rss(entries), "application/rss+xml");
    FeedSubscription feed = Subscribe("/huge");
    const FeedPoller::Report report = Poll(feed);
    EXPECT_NE(report.result.find("cut off"), std::string::npos) << report.result << " " << feed.lastResult;
    EXPECT_GT(report.taken.size(), 3000u);
}

TEST_F(FeedPollerTest, TitlesComeCleanFromLatin1AndHtml)
{
    host.Serve("/latin1",
               Rss(RssItem("a", "Caf\xe9 cr\xe8me &lt;b&gt;2,50 \x80&lt;/b&gt;", "https://shop.test/1"),
                   "<?xml version=\"1.0\" encoding=\"windows-1252\"?>"));
    FeedSubscription feed = Subscribe("/latin1");
    const FeedPoller::Report report = Poll(feed);
    ASSERT_EQ(report.taken.size(), 1u) << report.result;
    EXPECT_EQ(report.taken[0].title, "Caf\xc3\xa9 cr\xc3\xa8me 2,50 \xe2\x82\xac");
    EXPECT_EQ(report.taken[0].extra, "2,50 \xe2\x82\xac");
}

TEST_F(FeedPollerTest, AnEntryIsTakenOnceHoweverTheFeedReordersEditsOrRepublishesIt)
{
    host.Serve(
        "/feed",
        Rss(RssItem("a", "First", "https://shop.test/1") + RssItem("b", "Second", "https://shop.test/2")));
    FeedSubscription feed = Subscribe("/feed");
    const FeedPoller::Report first = Poll(feed);
    ASSERT_EQ(first.taken.size(), 2u);
    // Newest first in the feed: the older entry has the lower id.
    EXPECT_EQ(first.taken[0].title, "Second");
    host.Serve("/feed",
               Rss(RssItem("b", "Second, now cheaper", "https://shop.test/2b")
                   + RssItem("a", "First", "https://shop.test/1")
                   + RssItem("a", "First again", "https://shop.test/1")));
    EXPECT_TRUE(Poll(feed).taken.empty());
    EXPECT_EQ(Titles().size(), 2u);
}

TEST_F(FeedPollerTest, TheSameLinkFromTwoFeedsMakesOneItem)
{
    host.Serve("/one", Rss(RssItem("x", "Lamp", "https://shop.test/lamp")));
    host.Serve("/two", Rss(RssItem("y", "Lamp, 20% off", "https://shop.test/lamp")));
    FeedSubscription one = Subscribe("/one");
    FeedSubscription two = Subscribe("/two");
    EXPECT_EQ(Poll(one).taken.size(), 1u);
    EXPECT_TRUE(Poll(two).taken.empty());
    EXPECT_EQ(Titles(), std::vector<std::string>{"Lamp"});
}

TEST_F(FeedPollerTest, ARepostOfTheSameTitleAndStoreWaitsADay)
{
    host.Serve("/feed", Rss(RssItem("a", "Kettle $20", "https://shop.test/k1")));
    FeedSubscription feed = Subscribe("/feed");
    ASSERT_EQ(Poll(feed).taken.size(), 1u);
    host.Serve("/feed", Rss(RssItem("b", "Kettle $20", "https://shop.test/k2")));
    EXPECT_TRUE(Poll(feed, kNow + FeedIngest::kRepostWindow - 1).taken.empty());
    host.Serve("/feed", Rss(RssItem("c", "Kettle $20", "https://shop.test/k3")));
    EXPECT_EQ(Poll(feed, kNow + FeedIngest::kRepostWindow + 1).taken.size(), 1u);
}

TEST_F(FeedPollerTest, TheStoreComesFromTheLinksHostWhenTheFeedNamesNone)
{
    ASSERT_TRUE(items.AddStore("Best Buy"));
    host.Serve("/feed",
               Rss(RssItem("a", "TV", "https://www.bestbuy.com/tv")
                   + RssItem("b", "Saw", "https://tools.example/saw")));
    FeedSubscription feed = Subscribe("/feed", "");
    const FeedPoller::Report report = Poll(feed);
    ASSERT_EQ(report.taken.size(), 2u);
    EXPECT_EQ(report.taken[0].storeName, "tools.example");
    EXPECT_EQ(report.taken[1].storeName, "Best Buy");
    std::vector<std::string> stores;
    const std::vector<NamedEntry> list = items.StoresAfter(0).value();
    for (const NamedEntry& store : list) {
        stores.push_back(store.name);
    }
    EXPECT_EQ(stores, (std::vector<std::string>{"Best Buy", "tools.example"}));
}

TEST_F(FeedPollerTest, TenFailuresInARowMarkTheFeedFailingAndItIsFetchedDailyUntilItRecovers)
{
    FeedSubscription feed = Subscribe("/missing");
    for (int i = 0; i < FeedSchedule::kFailuresToFailing; ++i) {
        Poll(feed);
    }
    EXPECT_TRUE(FeedSchedule::Failing(feed));
    EXPECT_EQ(feed.nextFetch, kNow + FeedSchedule::kFailingInterval);
    EXPECT_NE(feed.lastResult.find("HTTP 404 (failing"), std::string::npos) << feed.lastResult;
    host.Serve("/missing", Rss(RssItem("a", "Back", "https://shop.test/1")));
    Poll(feed);
    EXPECT_FALSE(FeedSchedule::Failing(feed));
}

} // namespace
} // namespace tallyhawk::server
