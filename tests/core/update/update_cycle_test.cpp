#include "core/common/item_kind.h"
#include "core/common/program_version.h"
#include "core/update/download_pass.h"
#include "core/update/highest_ids.h"
#include "core/update/pass_runner.h"
#include "core/update/reply_slices.h"
#include "core/update/update_cycle.h"
#include "core/update/weekly_upkeep.h"
#include "support/fake_deal_server.h"
#include "support/mock_clock.h"
#include "support/test_http_server.h"
#include "update_test_rig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tallyhawk
{
namespace
{

using test::FakeDealServer;
using test::FakeItem;
using test::HttpResponse;
using test::UpdateRig;

constexpr std::int64_t kStart = 1780000000;
constexpr std::int32_t kDay = 86400;

FakeItem Item(std::int32_t id, std::int32_t kind, std::string title, std::int32_t date = 0)
{
    FakeItem item;
    item.id = id;
    item.kind = kind;
    item.storeId = 4;
    item.categoryId = 2;
    item.date = date;
    item.title = std::move(title);
    item.storeName = "Corner Shop";
    item.categoryName = "Garden";
    return item;
}

std::string Version(std::string_view text)
{
    return FakeDealServer::Payload(ReplyOk, {"1005", std::string(text)});
}

std::string Items(std::int32_t code, const std::vector<FakeItem>& items)
{
    return FakeDealServer::ItemReply(code, items);
}

// The request payloads, without their frame headers.
std::vector<std::string> Payloads(const FakeDealServer& server)
{
    std::vector<std::string> payloads;
    for (const std::string& request : server.Requests()) {
        payloads.push_back(request.size() >= 7 ? request.substr(7) : request);
    }
    return payloads;
}

class UpdateCycleTest : public ::testing::Test
{
protected:
    // Answers a whole cycle: version, coupons, deals, topics.
    void PushCycle(std::string_view version,
                   const std::vector<FakeItem>& coupons,
                   const std::vector<FakeItem>& deals,
                   const std::vector<FakeItem>& topics)
    {
        server.PushReply(Version(version));
        PushItems(coupons, deals, topics);
    }
    void PushItems(const std::vector<FakeItem>& coupons,
                   const std::vector<FakeItem>& deals,
                   const std::vector<FakeItem>& topics)
    {
        server.PushReply(Items(RequestCoupons, coupons));
        server.PushReply(Items(RequestDeals, deals));
        server.PushReply(Items(RequestForumTopics, topics));
    }
    CycleOutcome Cycle() { return UpdateCycle::Run(rig.context, rig.host, stop.get_token()); }

    MockClock clock{kStart};
    FakeDealServer server;
    UpdateRig rig{server.port()};
    std::stop_source stop;
};

TEST(UpdateCycleVersion, NewerOnlyWhenTheFirstThreeBytesCompareGreater)
{
    for (const char* newer : {"33", "4", "321", "32a"}) {
        EXPECT_TRUE(UpdateCycle::IsNewerVersion(newer)) << newer;
    }
    for (const char* notNewer : {"32",
                                 "31",
                                 "100",
                                 "3",
                                 "",
                                 std::string_view("32\0"
                                                  "9",
                                                  4)
                                     .data()}) {
        EXPECT_FALSE(UpdateCycle::IsNewerVersion(notNewer)) << notNewer;
    }
    EXPECT_FALSE(UpdateCycle::IsNewerVersion(std::string_view("32\0"
                                                              "9",
                                                              4)));
    EXPECT_TRUE(UpdateCycle::IsNewerVersion("\xff"));
}

// The check compares with the release version's major and minor digits: this release is not newer than
// itself, the next minor is.
TEST(UpdateCycleVersion, ComparesWithTheReleaseVersionsMajorAndMinor)
{
    ASSERT_GE(kReleaseVersion.size(), 3u);
    const std::string majorAndMinor{kReleaseVersion[0], kReleaseVersion[2]};
    EXPECT_EQ(kProgramVersion, majorAndMinor);
    EXPECT_FALSE(UpdateCycle::IsNewerVersion(kProgramVersion));
    std::string nextMinor(kProgramVersion);
    ++nextMinor[1];
    EXPECT_TRUE(UpdateCycle::IsNewerVersion(nextMinor));
}

TEST_F(UpdateCycleTest, StartNotHiddenPostsOneSummaryForCouponsAndDeals)
{
    PushCycle("32",
              {Item(10, 1, "Two for one"), Item(11, 1, "Half off")},
              {Item(20, 2, "Mower"), Item(21, 2, "Rake"), Item(22, 2, "Hose")},
              {Item(30, 3, "Which mower?")});
    CycleOutcome outcome = Cycle();

    EXPECT_EQ(outcome.counts.coupons, 2);
    EXPECT_EQ(outcome.counts.deals, 3);
    EXPECT_EQ(outcome.counts.topics, 1);
    ASSERT_EQ(rig.host.alerts.size(), 1u);
    EXPECT_EQ(rig.host.alerts[0].kind, 99);
    EXPECT_EQ(rig.host.alerts[0].description(), "Tallyhawk has downloaded 5 new coupons and deals.");
    std::vector<std::string> events = rig.host.Events();
    std::vector<std::string> expected = {"title Tallyhawk - Connecting [127.0.0.1]",
                                         "title Tallyhawk - Online [127.0.0.1]",
                                         "stop timers",
                                         "refresh tree",
                                         "start timers 180000 2000"};
    EXPECT_EQ(events, expected);
    EXPECT_EQ(Payloads(server), (std::vector<std::string>{"1005", "10020<~>", "10060<~>", "10040<~>"}));
    EXPECT_EQ(rig.deals.HighestId(1), 11);
    EXPECT_EQ(rig.deals.HighestId(2), 22);
    EXPECT_EQ(rig.topics.HighestId(3), 30);
}

TEST_F(UpdateCycleTest, HiddenStartAlertsEachItemAndNoSummary)
{
    rig.context.startedHidden = true;
    PushCycle("32", {Item(10, 1, "Two for one")}, {Item(20, 2, "Mower")}, {Item(30, 3, "Which mower?")});
    Cycle();
    ASSERT_EQ(rig.host.alerts.size(), 3u);
    EXPECT_EQ(rig.host.alerts[0].title(), "Two for one");
    EXPECT_EQ(rig.host.alerts[2].title(), "Which mower?");
    EXPECT_FALSE(rig.host.Saw("refresh tree"));
}

TEST_F(UpdateCycleTest, AlertsOffShowNoPopupHiddenOrNot)
{
    rig.settings.showNotify = 0;
    for (bool hidden : {true, false}) {
        rig.context.startedHidden = hidden;
        PushCycle("32", {Item(hidden ? 10 : 11, 1, "Two for one")}, {}, {});
        CycleOutcome outcome = Cycle();
        EXPECT_EQ(outcome.counts.coupons, 1);
    }
    EXPECT_TRUE(rig.host.alerts.empty());
    EXPECT_EQ(rig.deals.HighestId(1), 11);
}

TEST_F(UpdateCycleTest, ForumTopicsAloneGiveNoSummary)
{
    PushCycle("32", {}, {}, {Item(30, 3, "Which mower?"), Item(31, 3, "Rake advice")});
    CycleOutcome outcome = Cycle();
    EXPECT_EQ(outcome.counts.topics, 2);
    EXPECT_TRUE(rig.host.alerts.empty());
    EXPECT_FALSE(rig.host.Saw("refresh tree"));
    EXPECT_TRUE(rig.host.Saw("start timers 180000 2000"));
}

TEST_F(UpdateCycleTest, NewerVersionAnsweredNoDownloadsAsUsual)
{
    PushCycle("33", {Item(10, 1, "Two for one")}, {}, {});
    CycleOutcome outcome = Cycle();
    EXPECT_TRUE(outcome.newerVersion);
    EXPECT_FALSE(outcome.exitRequested);
    EXPECT_TRUE(rig.host.Saw("ask download"));
    EXPECT_FALSE(rig.host.Saw("ask exit"));
    EXPECT_EQ(outcome.counts.coupons, 1);
    EXPECT_TRUE(rig.host.Saw("start timers 180000 2000"));
}

TEST_F(UpdateCycleTest, YesThenNoOpensTheDownloadPageAndGoesOn)
{
    rig.host.downloadAnswer = true;
    PushCycle("4", {}, {Item(20, 2, "Mower")}, {});
    CycleOutcome outcome = Cycle();
    EXPECT_FALSE(outcome.exitRequested);
    EXPECT_TRUE(rig.host.Saw("open http://127.0.0.1:9/download.aspx"));
    EXPECT_EQ(outcome.counts.deals, 1);
}

TEST_F(UpdateCycleTest, YesThenYesEndsTheProgramWithoutDownloading)
{
    rig.host.downloadAnswer = true;
    rig.host.exitAnswer = true;
    server.PushReply(Version("321"));
    CycleOutcome outcome = Cycle();
    EXPECT_TRUE(outcome.exitRequested);
    std::vector<std::string> events = rig.host.Events();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[events.size() - 3], "ask exit");
    EXPECT_EQ(events[events.size() - 2], "open http://127.0.0.1:9/download.aspx");
    EXPECT_EQ(events.back(), "end -2");
    EXPECT_EQ(server.connectionsAccepted(), 1);
}

TEST_F(UpdateCycleTest, KeywordListOnlyWhenSwitchedOnAndNotEmpty)
{
    const std::vector<FakeItem> deals = {Item(20, 2, "Lawn mower"), Item(21, 2, "Rake")};
    rig.settings.useDealsFilter = 1;
    rig.settings.dealsFilter = "mower";
    PushCycle("32", {}, deals, {});
    EXPECT_EQ(Cycle().counts.deals, 1);

    rig.settings.dealsFilter = "";
    PushItems({}, {Item(22, 2, "Rake")}, {});
    EXPECT_EQ(DownloadPass::DownloadItems(rig.context, rig.host, false, stop.get_token()).deals, 1);

    rig.settings.useDealsFilter = 0;
    rig.settings.dealsFilter = "mower";
    PushItems({}, {Item(23, 2, "Rake")}, {});
    EXPECT_EQ(DownloadPass::DownloadItems(rig.context, rig.host, false, stop.get_token()).deals, 1);
}

TEST_F(UpdateCycleTest, UnreachableServerEndsThePassAndChangesNothing)
{
    rig.settings.serverPort = 1; // nothing listens there
    CycleOutcome outcome = Cycle();
    EXPECT_FALSE(outcome.serverVersion);
    EXPECT_EQ(outcome.counts.coupons + outcome.counts.deals + outcome.counts.topics, 0);
    EXPECT_TRUE(rig.host.alerts.empty());
    EXPECT_TRUE(rig.host.Saw("start timers 180000 2000"));
    EXPECT_FALSE(std::filesystem::exists(rig.dir.File("deal.lst")));
}

TEST_F(UpdateCycleTest, DownloadPassAlertsEachItemExactlyWhenShowNotifyIsOn)
{
    PushItems({Item(10, 1, "Two for one")}, {Item(20, 2, "Mower")}, {});
    DownloadCounts counts = DownloadPass::Run(rig.context, rig.host, stop.get_token());
    EXPECT_EQ(counts.coupons + counts.deals, 2);
    EXPECT_EQ(rig.host.alerts.size(), 2u);
    EXPECT_TRUE(rig.host.Events().empty()); // no title, no timers, no refresh

    rig.settings.showNotify = 0;
    PushItems({Item(11, 1, "Half off")}, {}, {});
    DownloadPass::Run(rig.context, rig.host, stop.get_token());
    EXPECT_EQ(rig.host.alerts.size(), 2u);
    EXPECT_EQ(Payloads(server).back(), "10040<~>");
    EXPECT_EQ(Payloads(server)[3], "100210<~>");
}

// The window says Online or Offline from what each pass reports: an answer of any kind, even the
// server's own refusal, means it was reached; a connection closed without a word does not.
TEST_F(UpdateCycleTest, EachDownloadPassReportsWhetherTheServerAnswered)
{
    const std::string refusal = FakeDealServer::Payload(ReplyError, {"1002", "busy"});
    const struct
    {
        const char* name;
        std::vector<std::string> replies; // one per request; none: closed without reply
        bool reached;
    } cases[] = {
        {"items", {Items(RequestCoupons, {}), Items(RequestDeals, {}), Items(RequestForumTopics, {})}, true},
        {"refusals", {refusal, refusal, refusal}, true},
        {"last request only", {"", "", Items(RequestForumTopics, {})}, true},
        {"no answer", {"", "", ""}, false},
    };
    for (const auto& c : cases) {
        rig.host.serverReached.clear();
        for (const std::string& reply : c.replies) {
            if (reply.empty()) {
                server.Push(FakeDealServer::Script().Close());
            } else {
                server.PushReply(reply);
            }
        }
        DownloadCounts counts = DownloadPass::Run(rig.context, rig.host, stop.get_token());
        EXPECT_EQ(counts.reached, c.reached) << c.name;
        EXPECT_EQ(rig.host.serverReached, std::vector<bool>{c.reached}) << c.name;
    }
}

TEST_F(UpdateCycleTest, TheCycleCountsAVersionReplyAsReachingTheServer)
{
    server.PushReply(Version("32"));
    Cycle();
    EXPECT_EQ(rig.host.serverReached, std::vector<bool>{true});

    rig.host.serverReached.clear();
    Cycle(); // nothing answers now
    EXPECT_EQ(rig.host.serverReached, std::vector<bool>{false});
}

TEST_F(UpdateCycleTest, AStoppedPassReportsNothingOfTheServer)
{
    stop.request_stop();
    DownloadPass::Run(rig.context, rig.host, stop.get_token());
    Cycle();
    EXPECT_TRUE(rig.host.serverReached.empty());
}

// Every repost is stored, but alerted once; the command line's "all" shows every one.
TEST_F(UpdateCycleTest, DownloadPassAlertsARepostOnceUnlessAskedForEveryItem)
{
    struct Case
    {
        bool ruled;
        std::size_t alerts;
    };
    for (const Case c : {Case{true, 1}, Case{false, 3}}) {
        SCOPED_TRACE(c.ruled ? "ruled" : "all");
        std::filesystem::remove(rig.dir.File("alerts.db"));
        rig.host.alerts.clear();
        rig.context.ruledAlerts = c.ruled;
        const std::int32_t first = c.ruled ? 20 : 30;
        PushItems({},
                  {Item(first, 2, "Mower -50%"),
                   Item(first + 1, 2, "mower 50% (2)"),
                   Item(first + 2, 2, "MOWER 50%")},
                  {});
        DownloadCounts counts = DownloadPass::Run(rig.context, rig.host, stop.get_token());
        EXPECT_EQ(counts.deals, 3);
        EXPECT_EQ(rig.host.alerts.size(), c.alerts);
    }
}

// A server that sends newest first (as a feed does) loses nothing, on the first start or the next.
TEST_F(UpdateCycleTest, ARepliesOrderLosesNoItemOnThisStartOrTheNext)
{
    PushCycle("32", {}, {Item(2, 2, "First")}, {});
    Cycle();
    PushCycle("32", {}, {Item(12, 2, "Twelve"), Item(10, 2, "Ten"), Item(11, 2, "Eleven")}, {});
    CycleOutcome outcome = Cycle();
    EXPECT_EQ(outcome.counts.deals, 3);
    EXPECT_EQ(Payloads(server)[6], "10062<~>");
    EXPECT_EQ(rig.deals.HighestId(2), 12);

    // The next start loads the file and asks after 12, the highest held.
    PushCycle("32", {}, {}, {});
    rig.LoadStores();
    EXPECT_EQ(rig.deals.Count(), 4u);
    Cycle();
    EXPECT_EQ(Payloads(server)[10], "100612<~>");
    std::vector<std::int32_t> ids;
    for (const ItemRecord& record : rig.deals.Items()) {
        ids.push_back(record.id);
    }
    EXPECT_EQ(ids, (std::vector<std::int32_t>{11, 10, 12, 2}));
}

// The weekly archive drops the records with the highest ids; the next requests still ask after them.
TEST_F(UpdateCycleTest, ArchiveCannotLowerTheIdsAskedAfter)
{
    const std::int32_t expired = static_cast<std::int32_t>(kStart - 30 * kDay);
    PushCycle("32", {Item(10, 1, "Old coupon", expired)}, {Item(20, 2, "Old deal", expired)}, {});
    Cycle();
    ASSERT_EQ(rig.settings.ReadLastArchive(), 0); // the upkeep did not run in this test yet
    ASSERT_EQ(rig.settings.WriteLastArchive(static_cast<std::int32_t>(kStart)), 0);

    clock.Advance(8 * kDay);
    ItemStore deals;
    ItemStore topics;
    deals.Open("deal.lst", rig.dir.path().string());
    topics.Open("topic.lst", rig.dir.path().string());
    UpkeepResult upkeep = WeeklyUpkeep::Run(rig.settings, deals, topics, nullptr, rig.dir.path());
    EXPECT_TRUE(upkeep.archived);
    EXPECT_TRUE(upkeep.listsRefreshDue);
    EXPECT_TRUE(upkeep.failures.empty());
    rig.LoadStores();
    ASSERT_EQ(rig.deals.Count(), 0u);
    ASSERT_EQ(rig.deals.HighestId(1), 0);

    PushItems({}, {}, {});
    DownloadPass::DownloadItems(rig.context, rig.host, false, stop.get_token());
    std::vector<std::string> payloads = Payloads(server);
    ASSERT_EQ(payloads.size(), 7u);
    EXPECT_EQ(payloads[4], "100210<~>");
    EXPECT_EQ(payloads[5], "100620<~>");
}

TEST_F(UpdateCycleTest, UpkeepDueOnFirstStartAWeekLaterAndWithAClockSetBack)
{
    ItemStore deals;
    ItemStore topics;
    deals.Open("deal.lst", rig.dir.path().string());
    topics.Open("topic.lst", rig.dir.path().string());

    UpkeepResult first = WeeklyUpkeep::Run(rig.settings, deals, topics, nullptr, rig.dir.path());
    EXPECT_TRUE(first.listsRefreshDue);
    EXPECT_FALSE(first.archived);
    EXPECT_EQ(rig.settings.ReadLastArchive(), kStart);
    WeeklyUpkeep::MarkRefreshDone(rig.settings);

    clock.Advance(WeeklyUpkeep::kInterval - 1);
    UpkeepResult early = WeeklyUpkeep::Run(rig.settings, deals, topics, nullptr, rig.dir.path());
    EXPECT_FALSE(early.listsRefreshDue);
    EXPECT_EQ(rig.settings.ReadLastArchive(), kStart);

    clock.Advance(1);
    EXPECT_TRUE(WeeklyUpkeep::Run(rig.settings, deals, topics, nullptr, rig.dir.path()).archived);
    EXPECT_EQ(rig.settings.ReadLastArchive(), kStart + WeeklyUpkeep::kInterval);
    WeeklyUpkeep::MarkRefreshDone(rig.settings);

    clock.Set(kStart - kDay);
    UpkeepResult setBack = WeeklyUpkeep::Run(rig.settings, deals, topics, nullptr, rig.dir.path());
    EXPECT_TRUE(setBack.archived);
    EXPECT_EQ(rig.settings.ReadLastArchive(), kStart - kDay);
}

TEST(UpdateCycleLists, FailedRefreshIsRetriedByTheNextPassWithoutArchivingAgain)
{
    MockClock clock{kStart};
    FakeDealServer server;
    test::TestHttpServer site;
    UpdateRig rig{server.port(), site.Url("")};
    ItemStore deals;
    ItemStore topics;
    deals.Open("deal.lst", rig.dir.path().string());
    topics.Open("topic.lst", rig.dir.path().string());
    rig.context.listsRefreshDue
        = WeeklyUpkeep::Run(rig.settings, deals, topics, nullptr, rig.dir.path()).listsRefreshDue;
    ASSERT_TRUE(rig.context.listsRefreshDue);

    // Offline site: every download fails with 404.
    std::stop_source stop;
    server.PushReply(Version("32"));
    CycleOutcome outcome = UpdateCycle::Run(rig.context, rig.host, stop.get_token());
    ASSERT_TRUE(outcome.lists);
    EXPECT_FALSE(outcome.lists->ok());
    EXPECT_TRUE(WeeklyUpkeep::RefreshPending(rig.settings));

    // The site comes back: the next download pass refreshes the lists and the debt is paid.
    site.Respond(
        "/webspider.xml",
        HttpResponse::Make(200,
                           "<AgentType><TypeId>3</TypeId><TypeName>Books</TypeName></AgentType>\r\n"
                           "<WebAgent><SiteId>1</SiteId><SiteType>3</SiteType><SiteName>Shop</SiteName>"
                           "<SiteAddress>http://shop</SiteAddress><FormatString>http://shop/?q= KEYWORD "
                           "</FormatString><StartResult><tr></StartResult><EndResult></tr></EndResult>"
                           "<StartItem><b></StartItem><EndItem></b></EndItem><StartURL>href=\"</StartURL>"
                           "<EndURL>\"</EndURL></WebAgent>\r\n"));
    site.Respond("/stores.aspx?idx=0&user=Tallyhawk",
                 HttpResponse::Make(200, "<IT><ID>7</ID><NM>Corner Shop</NM></IT>"));
    site.Respond("/categories.aspx?idx=0&user=Tallyhawk",
                 HttpResponse::Make(200, "<IT><ID>2</ID><NM>Garden</NM></IT>"));
    clock.Advance(180);
    DownloadPass::Run(rig.context, rig.host, stop.get_token());
    EXPECT_FALSE(WeeklyUpkeep::RefreshPending(rig.settings));
    EXPECT_TRUE(std::filesystem::exists(rig.dir.File("webspider.xml")));
    EXPECT_TRUE(std::filesystem::exists(rig.dir.File("store.lst")));
    EXPECT_EQ(rig.settings.ReadLastArchive(), kStart);

    // Paid: the pass after it asks the site for nothing.
    const std::size_t asked = site.RequestCount();
    DownloadPass::Run(rig.context, rig.host, stop.get_token());
    EXPECT_EQ(site.RequestCount(), asked);
}

TEST_F(UpdateCycleTest, StopDuringABigMergeEndsPromptlyWithTheFileWhole)
{
    std::vector<FakeItem> many;
    for (std::int32_t id = 1; id <= 3000; ++id) {
        many.push_back(Item(id, 1, "Coupon " + std::to_string(id)));
    }
    PushItems(many, {}, {});
    int seen = 0;
    rig.host.onAlert = [&] {
        if (++seen == 40) {
            stop.request_stop();
        }
    };
    const auto started = std::chrono::steady_clock::now();
    DownloadCounts counts = DownloadPass::DownloadItems(rig.context, rig.host, true, stop.get_token());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_TRUE(counts.stopped);
    EXPECT_GE(counts.coupons, 40);
    EXPECT_LE(counts.coupons, 40 + DownloadPass::kItemsPerSlice);
    EXPECT_EQ(server.connectionsAccepted(), 1); // deals and topics were not asked for

    ItemStore reread;
    reread.Open("deal.lst", rig.dir.path().string());
    EXPECT_EQ(reread.Load(), kOk);
    EXPECT_EQ(reread.Count(), static_cast<std::size_t>(counts.coupons));
    EXPECT_EQ(HighestIds(rig.dir.path()).Remembered(1), counts.coupons);
}

TEST(ReplySlices, SlicesCarryEveryItemFieldForField)
{
    std::vector<FakeItem> items;
    for (std::int32_t id = 1; id <= 5; ++id) {
        items.push_back(Item(id, 2, "Deal " + std::to_string(id)));
    }
    items[2].title.clear(); // an absent field stays absent
    items[3].description = "<b>big</b> &amp; cheap";
    WireMessage reply;
    std::string payload = FakeDealServer::ItemReply(RequestDeals, items, 7);
    ASSERT_GT(reply.AssignPayload(std::vector<char>(payload.begin(), payload.end())), 0);

    std::vector<std::string> seen;
    std::vector<std::int32_t> sizes;
    ForEachReplySlice(reply, 2, [&](const WireMessage& slice) {
        sizes.push_back(slice.FieldNumber(2));
        EXPECT_EQ(slice.FieldNumber(1), RequestDeals);
        for (std::int32_t k = 0; k < slice.FieldNumber(2); ++k) {
            seen.push_back(slice.FieldText(9 + 11 * k).value_or("(absent)") + "|"
                           + slice.FieldText(10 + 11 * k).value_or(""));
        }
        return true;
    });
    EXPECT_EQ(sizes, (std::vector<std::int32_t>{2, 2, 1}));
    EXPECT_EQ(seen,
              (std::vector<std::string>{
                  "Deal 1|", "Deal 2|", "(absent)|", "Deal 4|<b>big</b> &amp; cheap", "Deal 5|"}));

    int calls = 0;
    EXPECT_FALSE(ForEachReplySlice(reply, 2, [&](const WireMessage&) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
}

TEST_F(UpdateCycleTest, RunnerSkipsATickWhileAPassRunsAndStopsItPromptly)
{
    // The coupon request gets no answer: the pass waits in the transport.
    FakeDealServer::Script silent;
    silent.Hang();
    server.Push(std::move(silent));
    rig.connection.link().timeoutOverride = std::chrono::milliseconds(20000);
    PassRunner runner(rig.context, rig.host);
    ASSERT_TRUE(runner.TickDownload());
    while (server.connectionsAccepted() < 1) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(runner.running());
    EXPECT_FALSE(runner.TickDownload());
    EXPECT_FALSE(runner.StartUpdateCycle());

    const auto started = std::chrono::steady_clock::now();
    runner.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1000));
    EXPECT_FALSE(runner.running());
    EXPECT_FALSE(runner.TickDownload());
    EXPECT_EQ(server.connectionsAccepted(), 1);
}

// The window edits its settings while a pass runs: the pass keeps the settings it started with.
TEST_F(UpdateCycleTest, APassWorksOnTheSettingsAsTheyWereWhenItStarted)
{
    rig.settings.useDealsFilter = 1;
    rig.settings.dealsFilter = "mower";
    std::mutex mutex;
    std::condition_variable changed;
    bool edited = false;
    std::optional<std::string> seen;
    const Settings* passSettings = nullptr;
    PassRunner runner(rig.context, rig.host);
    ASSERT_TRUE(runner.Start([&](UpdateContext& context, std::stop_token) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return edited; });
        seen = DownloadPass::KeywordList(context.settings, 2);
        passSettings = &context.settings;
    }));
    {
        std::lock_guard<std::mutex> lock(mutex);
        rig.settings.dealsFilter = "rake"; // as the settings dialog does, on the thread that started it
        edited = true;
    }
    changed.notify_all();
    runner.Stop();
    EXPECT_EQ(seen, "mower");
    EXPECT_NE(passSettings, &rig.settings);

    PassRunner next(rig.context, rig.host);
    ASSERT_TRUE(next.Start([&](UpdateContext& context, std::stop_token) {
        seen = DownloadPass::KeywordList(context.settings, 2);
    }));
    next.Stop();
    EXPECT_EQ(seen, "rake");
}

} // namespace
} // namespace tallyhawk
