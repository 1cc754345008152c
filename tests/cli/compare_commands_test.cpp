#include "core/compare/agent_configuration.h"
#include "core/compare/search_index.h"
#include "support/cli_process.h"
#include "support/compare_site.h"
#include "support/mock_clock.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

namespace tallyhawk
{
namespace
{

using namespace std::chrono_literals;
using test::AgentXml;
using test::CategoryXml;
using test::HttpResponse;
using test::ProgramRun;
using test::ResultPage;

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::vector<std::string> OfferNames(const nlohmann::json& comparison)
{
    std::vector<std::string> names;
    for (const nlohmann::json& offer : comparison["offers"]) {
        names.push_back(offer["name"]);
    }
    return names;
}

class CompareCommands : public ::testing::Test
{
protected:
    void SetUp() override { std::filesystem::create_directories(data()); }

    ProgramRun Run(std::vector<std::string> args, const std::function<void(pid_t)>& whileRunning = {})
    {
        args.push_back("--data-dir");
        args.push_back(data());
        return test::RunProgram(TALLYHAWK_CLI_PATH, args, dir_.path(), whileRunning);
    }
    std::string data() const { return dir_.File("data"); }

    std::string Agent(int siteId, const std::string& siteType, const std::string& name) const
    {
        return AgentXml(siteId, siteType, name, server_.Url("/" + name + "?q="), server_.Url("/"));
    }

    void WriteConfiguration(const std::vector<std::string>& agents)
    {
        test::WriteFileBytes(
            data() + "/webspider.xml",
            test::ConfigurationXml({CategoryXml(1, "Shoes"), CategoryXml(2, "Books")}, agents));
    }

    static constexpr std::int64_t kNow = 1700000000; // 2023-11-14 22:13:20 UTC
    MockClock clock_{kNow};
    test::ScopedEnv now_{"TALLYHAWK_NOW", std::to_string(kNow)};
    test::TempDir dir_;
    test::TestHttpServer server_;
};

TEST_F(CompareCommands, ACompareIsSavedAndShownInTheListsOrder)
{
    server_.Respond("/shop?q=red+shoes",
                    HttpResponse::Make(
                        200, ResultPage({{"Red shoes", "/p/1", "$49.99"}, {"Blue Boots", "/p/2", "$80"}})));
    server_.Respond(
        "/slow?q=red+shoes",
        HttpResponse::Delayed(300ms, ResultPage({{"Shoe Rack RED", "https://s.test/3", "$1,299.00"}})));
    WriteConfiguration(
        {Agent(1, "1", "shop"), Agent(2, "1", "slow"), Agent(3, "1", "gone"), Agent(4, "2", "books")});

    ProgramRun run = Run({"compare", "--category", "1", "red", "shoes", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* line : {"shop: searching\n",
                             "slow: searching\n",
                             "gone: searching\n",
                             "shop: 1 results\n",
                             "slow: 1 results\n",
                             "gone: failed\n",
                             "Tallyhawk is comparing prices for your item....\n"}) {
        EXPECT_TRUE(Contains(run.err, line)) << line << run.err;
    }
    EXPECT_FALSE(Contains(run.err, "books"));
    EXPECT_TRUE(run.err.ends_with("Tallyhawk found 2 price comparison results.\n")) << run.err;
    nlohmann::json compared = nlohmann::json::parse(run.out);
    EXPECT_EQ(compared["id"], 2);
    EXPECT_EQ(OfferNames(compared), (std::vector<std::string>{"Shoe Rack RED", "Red shoes"}));
    EXPECT_EQ(compared["offers"][1]["link"], server_.Url("//p/1"));
    EXPECT_EQ(compared["offers"][1]["price"], 49.99);
    EXPECT_EQ(compared["offers"][1]["siteName"], "shop");
    EXPECT_TRUE(compared["offers"][1]["text"].is_null());

    run = Run({"comparisons", "show", "2", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out), compared);

    run = Run({"comparisons", "list", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    nlohmann::json list = nlohmann::json::parse(run.out);
    ASSERT_EQ(list["count"], 1);
    EXPECT_EQ(list["comparisons"][0]["name"], "red shoes");
    EXPECT_EQ(list["comparisons"][0]["categoryId"], 1);
    EXPECT_EQ(list["comparisons"][0]["savedAt"], kNow);

    const int offerId = compared["offers"][0]["id"];
    run = Run({"comparisons", "delete-offer", "2", std::to_string(offerId)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(OfferNames(nlohmann::json::parse(Run({"comparisons", "show", "2", "--json"}).out)),
              (std::vector<std::string>{"Red shoes"}));
    run = Run({"comparisons", "delete-offer", "2", std::to_string(offerId)});
    EXPECT_EQ(run.exitCode, 1);
    run = Run({"comparisons", "show", "3"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tallyhawk-cli: There is no saved comparison 3.\n");
}

TEST_F(CompareCommands, CtrlCStopsTheAgentsAndKeepsWhatCameIn)
{
    server_.Respond("/shop?q=red", HttpResponse::Make(200, ResultPage({{"red shoe", "a", "5"}})));
    server_.Respond("/stuck?q=red", HttpResponse::Stall());
    WriteConfiguration({Agent(1, "1", "shop"), Agent(2, "1", "stuck")});

    const auto started = std::chrono::steady_clock::now();
    ProgramRun run = Run({"compare", "--category", "1", "red", "--json"}, [&](pid_t pid) {
        for (int i = 0; i < 500 && server_.RequestCount() < 2; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        std::this_thread::sleep_for(300ms);
        ::kill(pid, SIGINT);
    });
    EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "shop: 1 results\n")) << run.err;
    EXPECT_TRUE(Contains(run.err, "stuck: failed\n")) << run.err;
    EXPECT_TRUE(run.err.ends_with("Tallyhawk found 1 price comparison results.\n")) << run.err;
    nlohmann::json compared = nlohmann::json::parse(run.out);
    EXPECT_EQ(compared["id"], 2);
    EXPECT_EQ(OfferNames(compared), (std::vector<std::string>{"red shoe"}));
}

TEST_F(CompareCommands, RunsThatCannotStartOrFindNothing)
{
    ProgramRun run = Run({"compare", "--category", "1", "red"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(
        Contains(run.err, "There was an error while loading the web search agents configuration file."));

    WriteConfiguration({Agent(1, "1", "shop")});
    run = Run({"compare", "--category", "2", "red"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Contains(run.err, "There was an error while starting the price comparison.\n"));
    EXPECT_TRUE(run.err.ends_with(
        "tallyhawk-cli: There was an error while starting the search agents for the selected category.\n"));
    EXPECT_EQ(Run({"compare", "--category", "x", "red"}).exitCode, 2);
    EXPECT_EQ(Run({"compare", "--category", "1"}).exitCode, 2);

    // Nothing found: nothing saved, id 0.
    server_.Respond("/shop?q=red", HttpResponse::Make(200, ResultPage({{"blue shoe", "a", "5"}})));
    run = Run({"compare", "--category", "1", "red", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out), nlohmann::json::parse(R"({"id": 0, "offers": []})"));
    EXPECT_TRUE(run.err.ends_with("Tallyhawk found no price comparison results.\n"));
    EXPECT_FALSE(std::filesystem::exists(data() + "/pricecmp.dat"));
}

TEST_F(CompareCommands, ComparisonsListUsesTheLastSevenDaysByDefault)
{
    SearchIndex index(data() + "/pricecmp.dat", data() + "/WebSearch");
    std::filesystem::create_directories(data() + "/WebSearch");
    ResultList offers;
    PriceResult offer;
    offer.name = "x";
    offer.link = "y";
    offer.price = 1;
    offers.Insert(offer);
    clock_.Set(kNow - 10 * 86400);
    ASSERT_EQ(index.SaveSearch(1, "old red shoes", offers), 2);
    clock_.Set(kNow - 86400);
    ASSERT_EQ(index.SaveSearch(1, "new red hat", offers), 3);

    auto ids = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"comparisons", "list", "--json"});
        ProgramRun run = Run(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        std::vector<int> found;
        const nlohmann::json list = nlohmann::json::parse(run.out);
        for (const nlohmann::json& record : list["comparisons"]) {
            found.push_back(record["id"]);
        }
        return found;
    };
    EXPECT_EQ(ids({}), (std::vector<int>{3}));
    EXPECT_EQ(ids({"--days", "30"}), (std::vector<int>{3, 2}));
    EXPECT_EQ(ids({"--from", "2023-11-01", "--to", "2023-11-05"}), (std::vector<int>{2}));
    EXPECT_EQ(ids({"--days", "30", "--search", "shoes red"}), (std::vector<int>{2}));
}

TEST_F(CompareCommands, AgentsTestShowsWhereTheMarkersLand)
{
    WriteConfiguration({Agent(7, "1", "shop")});
    const std::string page = ResultPage({{"Red shoe", "/p/1", "$5"}, {"Blue", "/p/2", "$9"}});
    test::WriteFileBytes(dir_.File("page.html"), page);
    ProgramRun run = Run({"agents", "test", "7", "--page", "page.html", "red", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    nlohmann::json offers = nlohmann::json::parse(run.out)["offers"];
    ASSERT_EQ(offers.size(), 1u);
    EXPECT_EQ(offers[0],
              nlohmann::json::parse(R"({"name": "Red shoe", "text": null, "link": ")" + server_.Url("//p/1")
                                    + R"(", "siteName": "shop", "price": 5.0})"));

    run = Run({"agents", "test", "7", "--page", "page.html", "red"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::size_t firstName = page.find("Red shoe");
    EXPECT_TRUE(Contains(run.out, "Item  at " + std::to_string(firstName) + ": \"Red shoe\"")) << run.out;
    EXPECT_TRUE(Contains(run.out, "dropped: no word of the search text in the name")) << run.out;
    EXPECT_TRUE(
        Contains(run.out, "Header: EndHeader found at offset " + std::to_string(page.find("<ul id="))))
        << run.out;

    test::WriteFileBytes(dir_.File("bare.html"), "<html>no header</html>");
    run = Run({"agents", "test", "7", "--page", "bare.html", "red", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(nlohmann::json::parse(run.out)["offers"].is_null());
    EXPECT_EQ(Run({"agents", "test", "7", "red"}).exitCode, 2);
    EXPECT_EQ(Run({"agents", "test", "8", "--page", "page.html", "red"}).exitCode, 1);
}

// A user agent that reads the page's product data instead of markers.
std::string StructuredAgentXml(int siteId, const std::string& siteName, const std::string& searchPrefix)
{
    return "<WebAgent><SiteId>" + std::to_string(siteId) + "</SiteId><SiteType>1</SiteType><SiteName>"
        + siteName + "</SiteName><SiteAddress>http://data.test</SiteAddress><FormatString>" + searchPrefix
        + " KEYWORD </FormatString><StructuredData>schema.org</StructuredData></WebAgent>\n";
}

TEST_F(CompareCommands, AUserAgentOverridesTheSitesAndTheListSaysWhoseEachIs)
{
    WriteConfiguration({Agent(7, "1", "shop"), Agent(8, "1", "other")});
    test::WriteFileBytes(data() + "/useragents.xml", Agent(8, "1", "mine"));
    ProgramRun run = Run({"agents", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json agents = nlohmann::json::parse(run.out)["agents"];
    ASSERT_EQ(agents.size(), 2u);
    EXPECT_EQ(agents[0]["origin"], "site");
    EXPECT_EQ(agents[1]["SiteName"], "mine");
    EXPECT_EQ(agents[1]["origin"], "user");
}

TEST_F(CompareCommands, AnExportedAgentImportsOnAnotherMachineAndReplacesOnlyItsSiteId)
{
    WriteConfiguration({Agent(7, "1", "shop")});
    ASSERT_EQ(Run({"agents", "export", "7", "--out", "seven.xml"}).exitCode, 0);
    // The other machine has agents of its own, one of them under the same SiteId.
    const std::string other = dir_.File("other");
    std::filesystem::create_directories(other);
    test::WriteFileBytes(other + "/useragents.xml",
                         test::ConfigurationXml({}, {Agent(7, "1", "old"), Agent(9, "2", "kept")}));
    ProgramRun run = test::RunProgram(
        TALLYHAWK_CLI_PATH, {"agents", "import", "seven.xml", "--data-dir", other}, dir_.path(), {});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "Agent 7 (shop): replaces your earlier agent 7.")) << run.out;
    AgentConfiguration imported(AgentOrigin::User);
    ASSERT_EQ(imported.Load(other + "/useragents.xml"), 0);
    ASSERT_EQ(imported.AgentCount(), 2u);
    EXPECT_EQ(imported.agents()[0]->siteName, "shop");
    EXPECT_EQ(imported.agents()[0]->startResult, "<li*>");
    EXPECT_EQ(imported.agents()[1]->siteName, "kept");
    ASSERT_EQ(imported.CategoryCount(), 1u);
    EXPECT_EQ(imported.categories()[0].typeName, "Shoes");
}

TEST_F(CompareCommands, AnImportThatCannotLoadChangesNothing)
{
    const std::string mine = test::ConfigurationXml({}, {Agent(9, "2", "kept")});
    test::WriteFileBytes(data() + "/useragents.xml", mine);
    test::WriteFileBytes(dir_.File("broken.xml"), "<WebAgent><SiteId>3</SiteId></WebAgent>");
    ProgramRun run = Run({"agents", "import", "broken.xml"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Contains(run.err, "Nothing was imported")) << run.err;
    EXPECT_EQ(test::ReadFileBytes(data() + "/useragents.xml"), mine);
}

TEST_F(CompareCommands, AStructuredDataAgentComparesFromThePagesProductData)
{
    WriteConfiguration({});
    test::WriteFileBytes(data() + "/useragents.xml",
                         test::ConfigurationXml({CategoryXml(1, "Shoes")},
                                                {StructuredAgentXml(4, "Data", server_.Url("/data?q="))}));
    server_.Respond(
        "/data?q=red+shoes",
        HttpResponse::Make(200,
                           R"(<html><script type="application/ld+json">{"@type":"ItemList","itemListElement":[
                {"@type":"Product","name":"Red shoes","url":"/p/1","offers":{"price":"$49.99"}},
                {"@type":"Product","name":"Blue boots","url":"/p/2","offers":{"price":"$80"}}]}</script></html>)"));
    ProgramRun run = Run({"compare", "--category", "1", "red", "shoes", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json result = nlohmann::json::parse(run.out);
    EXPECT_EQ(OfferNames(result), (std::vector<std::string>{"Red shoes"})) << run.out;
}

} // namespace
} // namespace tallyhawk
