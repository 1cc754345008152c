#include "core/compare/agent_configuration.h"
#include "core/compare/web_spider.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace tallyhawk
