#include "core/compare/agent_configuration.h"
#include "core/update/site_lists_refresh.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tallyhawk
{
namespace
{

using test::HttpResponse;
using test::ReadFileBytes;
using test::WriteFileBytes;

constexpr const char* kStoresFirst = "/stores.aspx?idx=0&user=Tallyhawk";
constexpr const char* kCategoriesFirst = "/categories.aspx?idx=0&user=Tallyhawk";

std::string Agent(int siteId)
{
    return "<WebAgent><SiteId>" + std::to_string(siteId)
        + "</SiteId><SiteType>3</SiteType><SiteName>Shop</SiteName>"
          "<SiteAddress>http://shop</SiteAddress><FormatString>http://shop/?q= KEYWORD </FormatString>"
          "<StartResult><tr></StartResult><EndResult></tr></EndResult><StartItem><b></StartItem>"
          "<EndItem></b></EndItem><StartURL>href=\"</StartURL><EndURL>\"</EndURL></WebAgent>\r\n";
}

const std::string kCategory = "<AgentType><TypeId>3</TypeId><TypeName>Books</TypeName></AgentType>\r\n";

std::string Entries(const std::vector<std::pair<int, std::string>>& entries)
{
    std::string answer = "<html><body>\r\n";
    for (const auto& [id, name] : entries) {
        answer += "<IT><ID>" + std::to_string(id) + "</ID><NM>" + name + "</NM></IT>\r\n";
    }
    return answer + "</body></html>\r\n";
}

IdNameList LoadList(const std::string& path)
{
    IdNameList list;
    EXPECT_EQ(list.Load(path), 0) << path;
    return list;
}

class SiteListsRefreshTest : public ::testing::Test
{
protected:
    SiteListsRefresh Refresh()
    {
        return RefreshSiteLists(fetcher, server.Url(""), dir.path(), stop.get_token());
    }

    test::TestHttpServer server;
    test::TempDir dir;
    HttpFetcher fetcher{
        HttpFetcher::Timeouts{std::chrono::milliseconds(2000), std::chrono::milliseconds(2000)}};
    std::stop_source stop;
    const std::string oldConfiguration = kCategory + Agent(99);
};

TEST_F(SiteListsRefreshTest, UpdatesAllThreeFiles)
{
    std::string configuration = kCategory + Agent(1) + Agent(2);
    server.Respond("/webspider.xml", HttpResponse::Make(200, configuration));
    server.Respond(kStoresFirst, HttpResponse::Make(200, Entries({{7, "Acme"}, {9, "Zed"}})));
    server.Respond(kCategoriesFirst, HttpResponse::Make(200, Entries({{3, "Books"}})));
    WriteFileBytes(dir.File("webspider.xml"), oldConfiguration);

    SiteListsRefresh refresh = Refresh();
    ASSERT_TRUE(refresh.ok());
    EXPECT_EQ(refresh.agents.agentCount, 2u);
    EXPECT_EQ(refresh.agents.categoryCount, 1u);
    ASSERT_EQ(refresh.stores.added.size(), 2u);
    EXPECT_EQ(refresh.stores.added[1].id, 9);
    EXPECT_EQ(refresh.stores.added[1].name, "Zed");
    ASSERT_EQ(refresh.categories.added.size(), 1u);

    // The downloaded copy is what replaced the configuration (line feeds only, as downloaded).
    std::string expected = configuration;
    std::erase(expected, '\r');
    EXPECT_EQ(ReadFileBytes(dir.File("webspider.xml")), expected);
    EXPECT_EQ(ReadFileBytes(dir.File("webspider.dat")), expected);
    IdNameList stores = LoadList(dir.File("store.lst"));
    EXPECT_EQ(stores.Count(), 2u);
    EXPECT_EQ(stores.Find(7)->name, "Acme");
    EXPECT_EQ(LoadList(dir.File("category.lst")).Find(3)->name, "Books");
    // No temporary file is left beside the configuration.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        ++files;
    }
    EXPECT_EQ(files, 5u); // webspider.xml, webspider.dat, update.dat, store.lst, category.lst

    std::vector<test::HttpRequestRecord> requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].target, "/webspider.xml");
    EXPECT_EQ(requests[1].target, kStoresFirst);
    EXPECT_EQ(requests[2].target, kCategoriesFirst);
}

TEST_F(SiteListsRefreshTest, TheUsersOwnAgentsAreNeverTouched)
{
    server.Respond("/webspider.xml", HttpResponse::Make(200, kCategory + Agent(1) + Agent(2)));
    server.Respond(kStoresFirst, HttpResponse::Make(200, Entries({})));
    server.Respond(kCategoriesFirst, HttpResponse::Make(200, Entries({})));
    const std::string mine = kCategory + Agent(2) + Agent(40);
    WriteFileBytes(dir.File(AgentConfiguration::kUserFile), mine);
    ASSERT_TRUE(Refresh().ok());
    EXPECT_EQ(ReadFileBytes(dir.File(AgentConfiguration::kUserFile)), mine);
}

TEST_F(SiteListsRefreshTest, AsksAfterTheHighestServiceIdAndKeepsKnownNames)
{
    IdNameList stores;
    stores.AddOrCount(12, "Local name", 0);
    stores.AddOrCount(5003, "Mine", 0);
    ASSERT_EQ(stores.Save(dir.File("store.lst")), 0);
    server.Respond("/stores.aspx?idx=12&user=Tallyhawk",
                   HttpResponse::Make(
                       200, Entries({{12, "Renamed"}, {13, "New"}, {14, "X"}, {0, "End"}, {15, "Late"}})));

    RefreshStepResult result
        = UpdateSiteListFile(fetcher, server.Url("/"), SiteList::Stores, dir.path(), stop.get_token());
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result.added.size(), 1u);
    EXPECT_EQ(result.added[0].id, 13);
    IdNameList saved = LoadList(dir.File("store.lst"));
    EXPECT_EQ(saved.Count(), 3u);
    EXPECT_EQ(saved.Find(12)->name, "Local name");
    EXPECT_EQ(saved.Find(12)->count, 1);
    EXPECT_EQ(saved.Find(15), nullptr);
}

TEST_F(SiteListsRefreshTest, ADownloadedConfigurationWithoutAgentsOrWithABadStatusIsNotInstalled)
{
    WriteFileBytes(dir.File("webspider.xml"), oldConfiguration);
    struct Case
    {
        std::string body;
        RefreshStage stage;
        std::int32_t status;
    };
    for (const Case& bad : std::vector<Case>{
             {kCategory, RefreshStage::NoAgents, 0},
             {"<html>404 Not Found</html>", RefreshStage::NoAgents, 0},
             {kCategory + Agent(1) + "<WebAgent><SiteId>0</SiteId></WebAgent>", RefreshStage::Read, -44},
             {kCategory + "<AgentType><TypeId>0</TypeId></AgentType>" + Agent(1), RefreshStage::Read, -44},
         }) {
        server.Respond("/webspider.xml", HttpResponse::Make(200, bad.body));
        RefreshStepResult result
            = RefreshAgentConfiguration(fetcher, server.Url(""), dir.path(), stop.get_token());
        EXPECT_EQ(result.stage, bad.stage) << bad.body;
        EXPECT_EQ(result.status, bad.status) << bad.body;
        EXPECT_EQ(ReadFileBytes(dir.File("webspider.xml")), oldConfiguration);
    }
    server.Respond("/webspider.xml", HttpResponse::Redirect(302, "/elsewhere"));
    RefreshStepResult result
        = RefreshAgentConfiguration(fetcher, server.Url(""), dir.path(), stop.get_token());
    EXPECT_EQ(result.stage, RefreshStage::Download);
    EXPECT_EQ(result.status, FETCH_REDIRECTED);
    EXPECT_EQ(result.downloadFailure,
              "the server answered 302 Found (a redirect, which downloads do not follow); check the site "
              "address");
    EXPECT_EQ(ReadFileBytes(dir.File("webspider.xml")), oldConfiguration);

    // An error page is not a configuration to try: the download itself fails.
    server.Respond("/webspider.xml", HttpResponse::Make(404, kCategory + Agent(1)));
    result = RefreshAgentConfiguration(fetcher, server.Url(""), dir.path(), stop.get_token());
    EXPECT_EQ(result.stage, RefreshStage::Download);
    EXPECT_EQ(result.status, FETCH_BAD_STATUS);
    EXPECT_EQ(result.downloadFailure, "the server answered 404 Not Found");
    EXPECT_EQ(ReadFileBytes(dir.File("webspider.xml")), oldConfiguration);
}

TEST_F(SiteListsRefreshTest, AConfigurationThatCannotBeReplacedIsReported)
{
    // A folder in place of the file: the rename over it fails, and the folder stays.
    std::filesystem::create_directories(dir.path() / "webspider.xml" / "keep");
    server.Respond("/webspider.xml", HttpResponse::Make(200, kCategory + Agent(1)));
    RefreshStepResult result
        = RefreshAgentConfiguration(fetcher, server.Url(""), dir.path(), stop.get_token());
    EXPECT_EQ(result.stage, RefreshStage::Save);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "webspider.xml" / "keep"));
}

TEST_F(SiteListsRefreshTest, EachStepRunsWhateverTheOthersDid)
{
    // The configuration and the stores fail; the categories still update.
    WriteFileBytes(dir.File("webspider.xml"), oldConfiguration);
    IdNameList stores;
    stores.AddOrCount(4, "Four", 0);
    ASSERT_EQ(stores.Save(dir.File("store.lst")), 0);
    std::string storeBytes = ReadFileBytes(dir.File("store.lst"));
    server.Respond("/webspider.xml", HttpResponse::Make(200, "no agents here"));
    server.Respond("/stores.aspx?idx=4&user=Tallyhawk", HttpResponse::Redirect(302, "/login"));
    server.Respond(kCategoriesFirst, HttpResponse::Make(200, Entries({{3, "Books"}})));

    SiteListsRefresh refresh = Refresh();
    EXPECT_FALSE(refresh.ok());
    EXPECT_EQ(refresh.agents.stage, RefreshStage::NoAgents);
    EXPECT_EQ(refresh.stores.stage, RefreshStage::Download);
    EXPECT_EQ(refresh.stores.status, FETCH_REDIRECTED);
    EXPECT_TRUE(refresh.categories.ok());
    EXPECT_EQ(ReadFileBytes(dir.File("webspider.xml")), oldConfiguration);
    EXPECT_EQ(ReadFileBytes(dir.File("store.lst")), storeBytes);
    EXPECT_EQ(LoadList(dir.File("category.lst")).Count(), 1u);
}

TEST_F(SiteListsRefreshTest, ADamagedListFileIsNeitherAskedForNorSavedOver)
{
    WriteFileBytes(dir.File("store.lst"), "not a list file");
    server.Respond(kCategoriesFirst, HttpResponse::Make(200, Entries({{3, "Books"}})));
    SiteListsRefresh refresh = Refresh();
    EXPECT_EQ(refresh.stores.stage, RefreshStage::ReadList);
    EXPECT_EQ(ReadFileBytes(dir.File("store.lst")), "not a list file");
    EXPECT_TRUE(refresh.categories.ok());
    for (const test::HttpRequestRecord& request : server.Requests()) {
        EXPECT_EQ(request.target.find("/stores.aspx"), std::string::npos);
    }
}

TEST_F(SiteListsRefreshTest, ListsHeldInMemoryAreUpdatedAndSaved)
{
    IdNameList stores;
    IdNameList categories;
    stores.AddOrCount(2, "Two", 0);
    server.Respond("/stores.aspx?idx=2&user=Tallyhawk", HttpResponse::Make(200, Entries({{7, "Acme"}})));
    server.Respond(kCategoriesFirst, HttpResponse::Make(200, "an error page"));
    SiteListsRefresh refresh
        = RefreshSiteLists(fetcher, server.Url(""), dir.path(), stop.get_token(), &stores, &categories);
    EXPECT_TRUE(refresh.stores.ok());
    EXPECT_EQ(stores.Count(), 2u);
    EXPECT_EQ(LoadList(dir.File("store.lst")).Count(), 2u);
    // An answer that is no entry list merges nothing and the list is still saved.
    EXPECT_TRUE(refresh.categories.ok());
    EXPECT_EQ(categories.Count(), 0u);
    EXPECT_TRUE(std::filesystem::exists(dir.File("category.lst")));
}

TEST_F(SiteListsRefreshTest, ANameAddedWhileTheRefreshRunsIsKept)
{
    IdNameList stores;
    stores.AddOrCount(2, "Two", 0);
    ASSERT_EQ(stores.Save(dir.File("store.lst")), 0);
    // The user adds a store while the answer is on its way, after the refresh took its copy.
    server.Handle("/stores.aspx?idx=2&user=Tallyhawk", [&](const test::HttpRequestRecord&) {
        EXPECT_EQ(IdNameList::Update(
                      dir.File("store.lst"),
                      [](IdNameList& list) { return list.AddUserEntry("Corner Shop") > 0 ? 0 : -1; }),
                  0);
        return HttpResponse::Make(200, Entries({{7, "Acme"}}));
    });
    RefreshStepResult step
        = UpdateSiteList(fetcher, server.Url(""), SiteList::Stores, stores, dir.path(), stop.get_token());
    ASSERT_TRUE(step.ok());
    ASSERT_EQ(step.added.size(), 1u);
    EXPECT_EQ(step.added[0].id, 7);
    const IdNameList saved = LoadList(dir.File("store.lst"));
    EXPECT_EQ(saved.Count(), 3u);
    ASSERT_NE(saved.Find(5000), nullptr);
    EXPECT_EQ(saved.Find(5000)->name, "Corner Shop");
    // The caller's list is what the file now holds.
    EXPECT_EQ(stores.Count(), 3u);
}

TEST_F(SiteListsRefreshTest, AStopRequestCancelsEveryStep)
{
    WriteFileBytes(dir.File("webspider.xml"), oldConfiguration);
    server.Respond("/webspider.xml", HttpResponse::Make(200, kCategory + Agent(1)));
    stop.request_stop();
    SiteListsRefresh refresh = Refresh();
    for (const RefreshStepResult* step : {&refresh.agents, &refresh.stores, &refresh.categories}) {
        EXPECT_EQ(step->stage, RefreshStage::Download);
        EXPECT_EQ(step->status, FETCH_CANCELLED);
    }
    EXPECT_EQ(ReadFileBytes(dir.File("webspider.xml")), oldConfiguration);
    EXPECT_FALSE(std::filesystem::exists(dir.File("store.lst")));
}

} // namespace
} // namespace tallyhawk
