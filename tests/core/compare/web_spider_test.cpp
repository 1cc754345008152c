#include "core/common/status.h"
#include "core/compare/web_spider.h"
#include "support/compare_site.h"
#include "support/mock_clock.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <set>
#include <thread>

namespace tallyhawk
{
namespace
{

using namespace std::chrono_literals;
using test::AgentXml;
using test::CategoryXml;
using test::ConfigurationXml;
using test::HttpResponse;
using test::PageOffer;
using test::ResultPage;

// Records every report as a line; checks while reporting that the spider can be called back and that
// an agent's offers are in the results before its done report.
class RecordingObserver : public SearchObserver
{
public:
    explicit RecordingObserver(WebSpider& spider)
        : spider_(spider)
    { }

    void AgentStarted(const WebAgent& agent) override { Add(Name(agent) + " searching"); }
    void AgentDone(const WebAgent& agent, std::int32_t count) override
    {
        merged_ += count;
        if (spider_.ResultCount() < static_cast<std::size_t>(merged_)) {
            Add("offers missing before the done report");
        }
        Add(Name(agent) + " " + std::to_string(count) + " results");
    }
    void AgentFailed(const WebAgent& agent, std::int32_t status) override
    {
        Add(Name(agent) + (status == kPageNotFetched ? " failed" : " failed " + std::to_string(status)));
    }
    void SearchDone(std::int32_t total) override { Add("done " + std::to_string(total)); }

    std::vector<std::string> Lines() const
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return lines_;
    }

    // Waits until `count` SearchDone reports arrived.
    bool WaitForDone(int count = 1)
    {
        std::unique_lock<std::mutex> hold(mutex_);
        return changed_.wait_for(hold, 10s, [&] { return done_ >= count; });
    }

private:
    static std::string Name(const WebAgent& agent) { return std::string(agent.siteName.value_or("?")); }

    void Add(std::string line)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        done_ += line.rfind("done ", 0) == 0 ? 1 : 0;
        lines_.push_back(std::move(line));
        changed_.notify_all();
    }

    WebSpider& spider_;
    int merged_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    int done_ = 0;
};

class WebSpiderTest : public ::testing::Test
{
protected:
    WebSpiderTest() { std::filesystem::create_directory(dir.path() / "WebSearch"); }

    // Agents whose search address is "/NAME?q=TEXT" on the test server.
    std::string Agent(int siteId, const std::string& siteType, const std::string& name) const
    {
        return AgentXml(siteId, siteType, name, server.Url("/" + name + "?q="), server.Url("/"));
    }

    void Load(const std::vector<std::string>& agents)
    {
        test::WriteFileBytes(dir.File("webspider.xml"), ConfigurationXml({CategoryXml(1, "Shoes")}, agents));
        ASSERT_EQ(spider.LoadConfiguration(), kOk);
    }

    std::vector<std::string> ResultNames() const
    {
        std::vector<std::string> names;
        for (const PriceResult& offer : spider.Results()) {
            names.push_back(std::to_string(offer.id) + ":" + offer.name);
        }
        return names;
    }

    test::TempDir dir;
    test::TestHttpServer server;
    MockClock clock{1700000000};
    WebSpider spider{dir.path().string()};
};

TEST_F(WebSpiderTest, ARunOverSeveralAgents)
{
    server.Respond("/fast?q=red",
                   HttpResponse::Make(200, ResultPage({{"red a", "a", "5"}, {"red b", "b", "20"}})));
    server.Respond("/slow?q=red",
                   HttpResponse::Delayed(300ms, ResultPage({{"red c", "c", "10"}, {"blue", "d", "9"}})));
    server.Respond("/broken?q=red", HttpResponse::Make(200, "<html>no results here</html>"));
    server.Respond("/twin?q=red", HttpResponse::Make(200, ResultPage({{"red e", "e", "10"}})));
    Load({Agent(1, "1", "fast"),
          Agent(2, "1", "slow"),
          Agent(3, "2", "other"),
          // Its page lacks the header marker: no list, 0 results.
          Agent(4, "1,2", "broken"),
          Agent(5, "1", "twin"),
          AgentXml(5, "1", "refused", "http://127.0.0.1:1/x?q=", "http://127.0.0.1:1/")});

    RecordingObserver observer(spider);
    ASSERT_EQ(spider.Start(1, "red", &observer), 5u);
    ASSERT_TRUE(observer.WaitForDone());
    spider.WaitForWorkers();

    std::vector<std::string> lines = observer.Lines();
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(
        std::vector<std::string>(lines.begin(), lines.begin() + 5),
        (std::vector<std::string>{
            "fast searching", "slow searching", "broken searching", "twin searching", "refused searching"}));
    const std::vector<std::string> reports(lines.begin() + 5, lines.end() - 1);
    for (const char* expected :
         {"fast 2 results", "slow 1 results", "broken 0 results", "twin 1 results", "refused failed"}) {
        EXPECT_EQ(std::count(reports.begin(), reports.end(), expected), 1) << expected;
    }
    EXPECT_EQ(lines.back(), "done 4");
    // Highest price first; ids in the order the offers arrived, so only the price order is fixed.
    const ResultList results = spider.Results();
    std::vector<PriceResult> offers(results.begin(), results.end());
    ASSERT_EQ(offers.size(), 4u);
    EXPECT_EQ(offers[0].name, "red b");
    EXPECT_EQ(offers[3].name, "red a");
    std::vector<std::int32_t> ids;
    for (const PriceResult& offer : offers) {
        ids.push_back(offer.id);
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 2, 3, 4}));

    ASSERT_EQ(spider.SaveResults(), 2);
    ResultList saved;
    ASSERT_EQ(saved.Load(dir.File("WebSearch/2.dat")), kOk);
    EXPECT_EQ(saved.Serialize(), spider.Results().Serialize());
    EXPECT_EQ(spider.index().records().at(0).name, "red");
}

TEST_F(WebSpiderTest, NoAgentForTheCategoryStartsNothing)
{
    Load({Agent(1, "2", "fast")});
    RecordingObserver observer(spider);
    EXPECT_EQ(spider.Start(1, "red", &observer), 0u);
    EXPECT_TRUE(observer.Lines().empty());
}

TEST_F(WebSpiderTest, StopAllEndsWorkersThatAreStillFetching)
{
    server.Respond("/fast?q=red", HttpResponse::Make(200, ResultPage({{"red a", "a", "5"}})));
    server.Respond("/stuck?q=red", HttpResponse::Stall());
    server.Respond("/stuck2?q=red", HttpResponse::Stall());
    Load({Agent(1, "1", "fast"), Agent(2, "1", "stuck"), Agent(3, "1", "stuck2")});
    RecordingObserver observer(spider);
    ASSERT_EQ(spider.Start(1, "red", &observer), 3u);
    for (int i = 0; i < 200 && observer.Lines().size() < 4; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(observer.Lines().size(), 4u);
    EXPECT_EQ(observer.Lines().back(), "fast 1 results");

    const auto stopped = std::chrono::steady_clock::now();
    spider.StopAll();
    spider.WaitForWorkers();
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 5s);
    // Each late report is followed by the end of the search, with the offers kept so far.
    const std::vector<std::string> lines = observer.Lines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.end()),
              (std::vector<std::string>{lines[4], "done 1", lines[6], "done 1"}));
    EXPECT_EQ(std::set<std::string>({lines[4], lines[6]}),
              (std::set<std::string>{"stuck failed", "stuck2 failed"}));
    EXPECT_EQ(spider.ResultCount(), 1u);
}

TEST_F(WebSpiderTest, AnObserverThatGoesAwayHearsNothingMore)
{
    server.Respond("/slow?q=red", HttpResponse::Delayed(200ms, ResultPage({{"red a", "a", "5"}})));
    Load({Agent(1, "1", "slow"), Agent(2, "1", "slow")});
    auto observer = std::make_unique<RecordingObserver>(spider);
    ASSERT_EQ(spider.Start(1, "red", observer.get()), 2u);
    spider.Detach(observer.get());
    const std::size_t heard = observer->Lines().size();
    observer.reset(); // a report that still reached it would touch freed memory
    spider.StopAll();
    spider.WaitForWorkers();
    EXPECT_GE(heard, 2u);
}

TEST_F(WebSpiderTest, ASecondStartNeverMixesInTheFirstRunsOffers)
{
    server.Respond("/shop?q=old", HttpResponse::Delayed(400ms, ResultPage({{"old a", "a", "50"}})));
    server.Respond("/shop?q=new", HttpResponse::Make(200, ResultPage({{"new b", "b", "5"}})));
    server.Respond("/shop2?q=new", HttpResponse::Delayed(600ms, ResultPage({{"new c", "c", "7"}})));
    server.Respond("/shop2?q=old", HttpResponse::Make(200, ResultPage({{"old d", "d", "70"}})));
    Load({Agent(1, "1", "shop"), Agent(2, "1", "shop2")});

    RecordingObserver first(spider);
    ASSERT_EQ(spider.Start(1, "old", &first), 2u);
    // The first run's shop2 reports while its shop worker still waits for its page.
    for (int i = 0; i < 200 && first.Lines().size() < 3; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    RecordingObserver second(spider);
    // The same agents again, while the first run's shop worker is still fetching.
    ASSERT_EQ(spider.Start(1, "new", &second), 2u);
    ASSERT_TRUE(second.WaitForDone());
    spider.WaitForWorkers();

    EXPECT_EQ(ResultNames(), (std::vector<std::string>{"2:new c", "1:new b"}));
    const std::vector<std::string> lines = second.Lines();
    EXPECT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines.back(), "done 2");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "done 2"), 1);
    // The first observer heard nothing after the second run began.
    for (const std::string& line : first.Lines()) {
        EXPECT_EQ(line.find("old a"), std::string::npos);
        EXPECT_NE(line, "shop 1 results");
    }
}

TEST_F(WebSpiderTest, WorkersKeepTheirAgentsThroughAReload)
{
    server.Respond("/slow?q=red", HttpResponse::Delayed(300ms, ResultPage({{"red a", "a", "5"}})));
    Load({Agent(1, "1", "slow")});
    RecordingObserver observer(spider);
    ASSERT_EQ(spider.Start(1, "red", &observer), 1u);
    test::WriteFileBytes(dir.File("webspider.xml"), ConfigurationXml({}, {}));
    ASSERT_EQ(spider.LoadConfiguration(), kOk);
    EXPECT_EQ(spider.configuration().AgentCount(), 0u);
    ASSERT_TRUE(observer.WaitForDone());
    spider.WaitForWorkers();
    EXPECT_EQ(observer.Lines().back(), "done 1");
}

} // namespace
} // namespace tallyhawk
