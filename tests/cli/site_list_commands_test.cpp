#include "cli_in_process.h"
#include "core/store/id_name_list.h"
#include "support/cli_process.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace tallyhawk
{
namespace
{

using test::HttpResponse;
using test::ProgramRun;
using test::ReadFileBytes;
using test::WriteFileBytes;

const std::string kCategory = "<AgentType><TypeId>3</TypeId><TypeName>B\xf6"
                              "cher</TypeName></AgentType>\n";

std::string Agent(int siteId, const std::string& format = "http://shop/?q= KEYWORD &amp;n=1")
{
    return "<WebAgent><SiteId>" + std::to_string(siteId)
        + "</SiteId><SiteType>3,7</SiteType><SiteName>Shop</SiteName><SiteAddress>http://shop</SiteAddress>"
          "<FormatString>"
        + format
        + "</FormatString><StartResult><tr></StartResult><EndResult></tr></EndResult><StartItem><b></"
          "StartItem>"
          "<EndItem></b></EndItem><StartURL>href=\"</StartURL><EndURL>\"</EndURL>"
          "<StartPrice>$</StartPrice></WebAgent>\n";
}

// Every run gets private settings and data folders; the site is the test server.
class SiteListCommands : public ::testing::Test
{
protected:
    SiteListCommands() { EXPECT_EQ(Run({"config", "set", "SiteUrl", server.Url("")}).exitCode, 0); }

    ProgramRun Run(const std::vector<std::string>& args) { return test::RunCliInProcess(args, dir_.path()); }
    std::string DataFile(const std::string& name) const { return dir_.File("data/tallyhawk/" + name); }

    test::TestHttpServer server;
    test::TempDir dir_;
    test::ScopedEnv config_{"XDG_CONFIG_HOME", dir_.File("config")};
    test::ScopedEnv data_{"XDG_DATA_HOME", dir_.File("data")};
    test::ScopedEnv home_{"TALLYHAWK_HOME", nullptr};
};

TEST_F(SiteListCommands, AgentsListsTheConfiguration)
{
    std::filesystem::create_directories(dir_.File("data/tallyhawk"));
    WriteFileBytes(DataFile("webspider.xml"), kCategory + Agent(12) + Agent(4));
    ProgramRun run = Run({"agents"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Status 0"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("B\xc3\xb6"
                           "cher"),
              std::string::npos)
        << run.out;

    run = Run({"agents", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    nlohmann::json json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["status"], 0);
    EXPECT_EQ(json["categories"][0]["TypeId"], 3);
    EXPECT_EQ(json["categories"][0]["TypeName"],
              "B\xc3\xb6"
              "cher");
    ASSERT_EQ(json["agents"].size(), 2u);
    const nlohmann::json& agent = json["agents"][0];
    EXPECT_EQ(agent["SiteId"], 12);
    EXPECT_EQ(agent["FormatString"], "http://shop/?q= KEYWORD &amp;n=1");
    EXPECT_EQ(agent["StartPrice"], "$");
    EXPECT_TRUE(agent["EndPrice"].is_null());
    EXPECT_TRUE(agent["EndHeader"].is_null());
    EXPECT_EQ(agent["origin"], "site");
    EXPECT_TRUE(agent["StructuredData"].is_null());
    EXPECT_EQ(agent.size(), 20u); // SiteId, origin and every element
}

TEST_F(SiteListCommands, AgentsReportsALoadFailure)
{
    WriteFileBytes(dir_.File("own.xml"), kCategory + Agent(1) + "<WebAgent><SiteId>2</SiteId></WebAgent>");
    // --config is relative to where the command runs, not to the data folder.
    ProgramRun run = Run({"agents", "--config", "own.xml", "--json"});
    EXPECT_EQ(run.exitCode, 1);
    nlohmann::json json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["status"], -44);
    EXPECT_EQ(json["agents"].size(), 1u);
    EXPECT_NE(run.err.find("-44"), std::string::npos) << run.err;

    // A fresh install has no configuration until the first refresh: the message says what to run.
    run = Run({"agents"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "tallyhawk-cli: There is no agent configuration webspider.xml yet. Run 'tallyhawk-cli lists "
              "refresh' to download it from the site.\n");
    run = Run({"agents", "url", "1", "x"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("lists refresh"), std::string::npos) << run.err;
    // Something there that is no configuration is named as such.
    std::filesystem::create_directories(DataFile("webspider.xml"));
    run = Run({"agents"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("did not load cleanly (status -44"), std::string::npos) << run.err;
}

TEST_F(SiteListCommands, AgentsUrlBuildsTheSearchAddress)
{
    WriteFileBytes(dir_.File("own.xml"), Agent(12) + Agent(13, "http://shop/?q=KEYWORD"));
    ProgramRun run = Run({"agents", "url", "12", "red shoes & socks", "--config", "own.xml"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "http://shop/?q=red+shoes+%26+socks&amp;n=1\n");

    run = Run({"agents", "url", "13", "x", "--config", "own.xml"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("-26"), std::string::npos) << run.err;
    run = Run({"agents", "url", "12", std::string(300, 'a'), "--config", "own.xml"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("-27"), std::string::npos) << run.err;
    run = Run({"agents", "url", "14", "x", "--config", "own.xml"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("no agent with SiteId 14"), std::string::npos) << run.err;
    EXPECT_EQ(Run({"agents", "url", "twelve", "x", "--config", "own.xml"}).exitCode, 2);
    EXPECT_EQ(Run({"agents", "url", "12"}).exitCode, 2);
}

TEST_F(SiteListCommands, ListsUpdatePrintsTheEntriesAdded)
{
    server.Respond(
        "/stores.aspx?idx=0&user=Tallyhawk",
        HttpResponse::Make(200, "<IT><ID>7</ID><NM>Acme</NM></IT><IT><ID>9</ID><NM>Zed</NM></IT>"));
    ProgramRun run = Run({"lists", "update", "stores"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Stores: 2 entries added; store.lst saved.\n  7\tAcme\n  9\tZed\n");
    IdNameList stores;
    ASSERT_EQ(stores.Load(DataFile("store.lst")), 0);
    EXPECT_EQ(stores.Count(), 2u);

    // The next update asks after the highest service id held.
    server.Respond("/stores.aspx?idx=9&user=Tallyhawk", HttpResponse::Make(200, ""));
    run = Run({"lists", "update", "stores", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out)["added"].size(), 0u);

    // An error page is a failed download, not an empty list.
    run = Run({"lists", "update", "categories"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("the download failed: the server answered 404 Not Found"), std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(DataFile("category.lst")));
    EXPECT_EQ(Run({"lists", "update", "units"}).exitCode, 2);
}

TEST_F(SiteListCommands, ListsRefreshRunsEveryStep)
{
    server.Respond("/webspider.xml", HttpResponse::Make(200, kCategory + Agent(1)));
    server.Respond("/stores.aspx?idx=0&user=Tallyhawk", HttpResponse::Redirect(302, "/login"));
    server.Respond("/categories.aspx?idx=0&user=Tallyhawk",
                   HttpResponse::Make(200, "<IT><ID>3</ID><NM>Books</NM></IT>"));
    ProgramRun run = Run({"lists", "refresh"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("Agent configuration: webspider.xml replaced (1 agent, 1 category)."),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Stores: failed: the download failed: the server answered 302 Found"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Categories: 1 entry added"), std::string::npos) << run.out;
    EXPECT_EQ(ReadFileBytes(DataFile("webspider.xml")), kCategory + Agent(1));
    EXPECT_FALSE(std::filesystem::exists(DataFile("store.lst")));

    server.Respond("/stores.aspx?idx=0&user=Tallyhawk", HttpResponse::Make(200, ""));
    server.Respond("/categories.aspx?idx=3&user=Tallyhawk", HttpResponse::Make(200, ""));
    run = Run({"lists", "refresh", "--json"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    nlohmann::json json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["agents"]["agents"], 1);
    EXPECT_EQ(json["stores"]["ok"], true);
    EXPECT_EQ(json["categories"]["added"].size(), 0u);
}

} // namespace
} // namespace tallyhawk
