#include "core/compare/agent_configuration.h"
#include "core/compare/agent_draft.h"
#include "core/compare/agent_file.h"
#include "core/compare/web_spider.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>

namespace tallyhawk
{
namespace
{

std::string Category(int id, const std::string& name)
{
    return "<AgentType><TypeId>" + std::to_string(id) + "</TypeId><TypeName>" + name
        + "</TypeName></AgentType>\n";
}

std::string Agent(int siteId, const std::string& name, const std::string& markers = "")
{
    return "<WebAgent><SiteId>" + std::to_string(siteId) + "</SiteId><SiteType>1</SiteType><SiteName>" + name
        + "</SiteName><SiteAddress>http://shop</SiteAddress><FormatString>http://shop/?q= KEYWORD "
          "</FormatString>"
        + (markers.empty()
               ? "<StartResult><tr></StartResult><EndResult></tr></EndResult><StartItem><b></StartItem>"
                 "<EndItem></b></EndItem><StartURL>href=\"</StartURL><EndURL>\"</EndURL>"
               : markers)
        + "</WebAgent>\n";
}

std::vector<std::pair<std::int32_t, std::string>> Agents(const AgentConfiguration& config)
{
    std::vector<std::pair<std::int32_t, std::string>> agents;
    for (const auto& agent : config.agents()) {
        agents.emplace_back(agent->siteId,
                            std::string(agent->siteName.value_or(""))
                                + (agent->origin == AgentOrigin::User ? " (user)" : ""));
    }
    return agents;
}

TEST(UserAgents, AUserAgentOverridesItsSiteIdInPlaceAndANewOneIsAdded)
{
    AgentConfiguration config;
    ASSERT_EQ(config.LoadText(Category(1, "TV") + Category(2, "Books") + Agent(1, "A") + Agent(2, "B")
                              + Agent(3, "C")),
              0);
    ASSERT_EQ(config.MergeUserText(Category(2, "Novels") + Category(9, "Tools") + Agent(2, "Mine")
                                   + Agent(7, "New")),
              0);
    using Row = std::pair<std::int32_t, std::string>;
    EXPECT_EQ(Agents(config), (std::vector<Row>{{1, "A"}, {2, "Mine (user)"}, {3, "C"}, {7, "New (user)"}}));
    ASSERT_EQ(config.CategoryCount(), 3u);
    EXPECT_EQ(config.categories()[1].typeName, "Novels");
    EXPECT_EQ(config.categories()[2].typeId, 9);
}

TEST(UserAgents, AUserAgentReplacesASiteAgentTheFileRefused)
{
    AgentConfiguration config;
    config.LoadText(Agent(4, "Site", "<StructuredData>other</StructuredData>"));
    ASSERT_TRUE(config.RefusalOf(4));
    config.MergeUserText(Agent(4, "Fixed"));
    EXPECT_FALSE(config.RefusalOf(4));
    ASSERT_EQ(config.AgentCount(), 1u);
}

TEST(UserAgents, ARefusedUserAgentLeavesTheSiteAgentAndSaysWhere)
{
    AgentConfiguration config;
    config.LoadText(Agent(4, "Site"));
    config.MergeUserText(Agent(4, "Mine", "<StructuredData>microformats</StructuredData>"));
    ASSERT_EQ(config.AgentCount(), 1u);
    EXPECT_EQ(config.agents()[0]->origin, AgentOrigin::Site);
    ASSERT_TRUE(config.RefusalOf(4));
    EXPECT_EQ(
        *config.RefusalOf(4),
        "in useragents.xml, its StructuredData is \"microformats\"; the only kind known is \"schema.org\"");
}

TEST(UserAgents, AStructuredDataAgentNeedsNoMarkersAndKeepsAnyItHas)
{
    AgentConfiguration config;
    ASSERT_EQ(
        config.LoadText(
            Agent(1, "Data", "<StructuredData>schema.org</StructuredData>")
            + Agent(2, "Both", "<StructuredData>schema.org</StructuredData><StartResult><tr></StartResult>")),
        0);
    ASSERT_EQ(config.AgentCount(), 2u);
    EXPECT_TRUE(config.agents()[0]->ReadsStructuredData());
    EXPECT_FALSE(config.agents()[0]->startResult);
    EXPECT_EQ(config.agents()[1]->startResult, "<tr>");
    // Without the element the markers stay required.
    EXPECT_EQ(config.LoadText(Agent(1, "Data", "<EndHeader>x</EndHeader>")), kBadMarker);
}

class UserAgentsFolder : public ::testing::Test
{
protected:
    test::TempDir dir;
};

TEST_F(UserAgentsFolder, TheSpiderLaysTheUserFileOverTheSiteFile)
{
    test::WriteFileBytes(dir.File("webspider.xml"), Category(1, "TV") + Agent(1, "A") + Agent(2, "B"));
    test::WriteFileBytes(dir.File("useragents.xml"), Agent(2, "Mine"));
    WebSpider spider(dir.path());
    ASSERT_EQ(spider.LoadConfiguration(), 0);
    using Row = std::pair<std::int32_t, std::string>;
    EXPECT_EQ(Agents(spider.configuration()), (std::vector<Row>{{1, "A"}, {2, "Mine (user)"}}));
}

TEST_F(UserAgentsFolder, BeforeTheFirstRefreshTheUserAgentsServeAlone)
{
    test::WriteFileBytes(dir.File("useragents.xml"), Category(1, "TV") + Agent(5, "Mine"));
    WebSpider spider(dir.path());
    EXPECT_EQ(spider.LoadConfiguration(), 0);
    EXPECT_EQ(spider.configuration().AgentCount(), 1u);
}

TEST_F(UserAgentsFolder, NoUserFileChangesNothingAndADamagedOneNeverHidesTheSiteAgents)
{
    test::WriteFileBytes(dir.File("webspider.xml"), Category(1, "TV") + Agent(1, "A"));
    WebSpider spider(dir.path());
    EXPECT_EQ(spider.LoadConfiguration(), 0);
    EXPECT_EQ(spider.configuration().AgentCount(), 1u);
    test::WriteFileBytes(dir.File("useragents.xml"),
                         Agent(3, "Good") + "<WebAgent><SiteId>x</SiteId></WebAgent>");
    EXPECT_EQ(spider.LoadConfiguration(), 0);
    EXPECT_EQ(spider.configuration().AgentCount(), 2u);
}

AgentDraft Draft(int siteId)
{
    AgentConfiguration config;
    config.LoadText(Agent(siteId, "Shop"));
    return AgentDraft::FromAgent(*config.agents().at(0));
}

TEST(AgentDrafts, ADraftBuildsTheAgentItWasMadeFrom)
{
    AgentDraft draft = Draft(5);
    *draft.Text("StartPrice") = "<i>";
    *draft.Text("EndPrice") = "</i>";
    const AgentDraft::Built built = draft.Build();
    ASSERT_TRUE(built.agent) << built.problem;
    EXPECT_EQ(built.agent->siteId, 5);
    EXPECT_EQ(built.agent->startPrice, "<i>");
    EXPECT_EQ(built.agent->startItem, "<b>");
    EXPECT_EQ(built.agent->origin, AgentOrigin::User);
}

TEST(AgentDrafts, ADraftTheFileCouldNotKeepSaysWhy)
{
    const struct
    {
        const char* what;
        std::function<void(AgentDraft&)> edit;
        std::string problem;
    } cases[] = {
        {"no SiteId", [](AgentDraft& d) { d.siteId = 0; }, "the SiteId must be a whole number above 0"},
        {"a required marker left out",
         [](AgentDraft& d) { d.Text("StartItem")->reset(); },
         "the agent needs its StartItem"},
        {"a text holding a tag",
         [](AgentDraft& d) { *d.Text("SiteName") = "A</SiteName>B"; },
         "the SiteName text holds the tag </SiteName>, which the agent file cannot keep"},
        {"an unknown kind of data",
         [](AgentDraft& d) { *d.Text("StructuredData") = "rdfa"; },
         "its StructuredData is \"rdfa\"; the only kind known is \"schema.org\""},
        {"a marker over the bound",
         [](AgentDraft& d) { *d.Text("EndItem") = std::string(1001, 'x'); },
         "its EndItem marker is 1001 bytes long; a marker may have at most 1000 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AgentDraft draft = Draft(5);
        c.edit(draft);
        const AgentDraft::Built built = draft.Build();
        EXPECT_FALSE(built.agent);
        EXPECT_EQ(built.problem, c.problem);
    }
}

TEST(AgentDrafts, AStructuredDataDraftNeedsNoMarkers)
{
    AgentDraft draft = Draft(5);
    for (const char* marker : {"StartResult", "EndResult", "StartItem", "EndItem", "StartURL", "EndURL"}) {
        draft.Text(marker)->reset();
    }
    *draft.Text("StructuredData") = "schema.org";
    EXPECT_TRUE(draft.Build().agent);
}

TEST_F(UserAgentsFolder, SavingLaysTheAgentsOverTheUserFileAndKeepsTheRest)
{
    const std::string path = dir.File("useragents.xml");
    test::WriteFileBytes(path, Category(1, "TV") + Agent(2, "Two") + Agent(3, "Three"));
    AgentConfiguration incoming(AgentOrigin::User);
    incoming.LoadText(Agent(3, "Better") + Agent(4, "Four"));
    ASSERT_EQ(SaveUserAgents(path, incoming), std::nullopt);
    AgentConfiguration saved;
    ASSERT_EQ(saved.Load(path), 0);
    using Row = std::pair<std::int32_t, std::string>;
    EXPECT_EQ(Agents(saved), (std::vector<Row>{{2, "Two"}, {3, "Better"}, {4, "Four"}}));
    EXPECT_EQ(saved.CategoryCount(), 1u);
}

TEST_F(UserAgentsFolder, ADamagedUserFileIsNeverWrittenOver)
{
    const std::string path = dir.File("useragents.xml");
    const std::string damaged = Agent(2, "Two") + "<WebAgent><SiteId>3</SiteId></WebAgent>";
    test::WriteFileBytes(path, damaged);
    AgentConfiguration incoming(AgentOrigin::User);
    incoming.LoadText(Agent(4, "Four"));
    const std::optional<std::string> failure = SaveUserAgents(path, incoming);
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->find("did not load cleanly"), std::string::npos) << *failure;
    EXPECT_EQ(test::ReadFileBytes(path), damaged);
}

} // namespace
} // namespace tallyhawk
