#include "core/compare/agent_configuration.h"
#include "support/agent_config_reference.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tallyhawk
{
namespace
{

std::string Category(const std::string& id, const std::string& name)
{
    return "<AgentType><TypeId>" + id + "</TypeId><TypeName>" + name + "</TypeName></AgentType>\n";
}

// An agent with every required element; `extra` is put inside the block, `drop` names one element
// to leave out.
std::string Agent(int siteId, const std::string& extra = "", const std::string& drop = "")
{
    std::string block = "<WebAgent>\n<SiteId>" + std::to_string(siteId) + "</SiteId>\n";
    const char* required[][2] = {{"SiteType", "3,7"},
                                 {"SiteName", "Shop"},
                                 {"SiteAddress", "http://shop"},
                                 {"FormatString", "http://shop/s?q= KEYWORD &n=1"},
                                 {"StartResult", "<tr>"},
                                 {"EndResult", "</tr>"},
                                 {"StartItem", "<b>"},
                                 {"EndItem", "</b>"},
                                 {"StartURL", "href=\""},
                                 {"EndURL", "\""}};
    for (auto& [element, value] : required) {
        if (drop != element) {
            block += std::string("<") + element + ">" + value + "</" + element + ">\n";
        }
    }
    return block + extra + "</WebAgent>\n";
}

class AgentConfigurationTest : public ::testing::Test
{
protected:
    std::int32_t LoadFile(const std::string& text)
    {
        test::WriteFileBytes(path, text);
        return config.Load(path);
    }

    test::TempDir dir;
    std::string path = dir.File("webspider.xml");
    AgentConfiguration config;
};

TEST_F(AgentConfigurationTest, LoadsCategoriesAndAgentsInFileOrder)
{
    ASSERT_EQ(
        LoadFile("<Root>" + Category("3", "Books") + Agent(12) + Category("7", "") + Agent(4) + "</Root>"),
        0);
    ASSERT_EQ(config.CategoryCount(), 2u);
    EXPECT_EQ(config.categories()[0].typeId, 3);
    EXPECT_EQ(config.categories()[0].typeName, "Books");
    EXPECT_EQ(config.categories()[1].typeId, 7);
    EXPECT_EQ(config.categories()[1].typeName, "");
    ASSERT_EQ(config.AgentCount(), 2u);
    const WebAgent& first = *config.agents()[0];
    EXPECT_EQ(first.siteId, 12);
    EXPECT_EQ(first.siteName, "Shop");
    EXPECT_EQ(first.startResult, "<tr>");
    EXPECT_EQ(first.endUrl, "\"");
    EXPECT_EQ(first.endHeader, std::nullopt);
    EXPECT_EQ(first.startPrice, std::nullopt);
    EXPECT_EQ(config.agents()[1]->siteId, 4);
    EXPECT_EQ(config.FindAgent(4), config.agents()[1]);
    EXPECT_EQ(config.FindAgent(5), nullptr);
}

TEST_F(AgentConfigurationTest, EmptyOrMissingFile)
{
    EXPECT_EQ(LoadFile(""), 0);
    EXPECT_EQ(config.CategoryCount() + config.AgentCount(), 0u);
    EXPECT_EQ(config.Load(dir.File("missing.xml")), kCannotOpen);
    EXPECT_EQ(config.Load(dir.path().string()), kBadMarker);
}

TEST_F(AgentConfigurationTest, CategoryStatusIsThatOfTheLastBlock)
{
    // A bad category in the middle is dropped; the load still succeeds.
    EXPECT_EQ(LoadFile(Category("3", "A") + Category("0", "B") + Category("5", "C") + Agent(1)), 0);
    EXPECT_EQ(config.CategoryCount(), 2u);
    EXPECT_EQ(config.AgentCount(), 1u);
    // The same bad category last fails the load before any agent is read.
    EXPECT_EQ(LoadFile(Category("3", "A") + Category("5", "C") + Category("0", "B") + Agent(1)), kBadMarker);
    EXPECT_EQ(config.CategoryCount(), 2u);
    EXPECT_EQ(config.AgentCount(), 0u);
    // A category without <TypeName> is invalid too; a negative or text id as well.
    EXPECT_EQ(LoadFile("<AgentType><TypeId>4</TypeId></AgentType>"), kBadMarker);
    EXPECT_EQ(LoadFile(Category("-2", "A")), kBadMarker);
    EXPECT_EQ(LoadFile(Category("x", "A")), kBadMarker);
}

TEST_F(AgentConfigurationTest, OptionalAndRequiredAgentElements)
{
    std::string optional = "<EndHeader></EndHeader><StartText>a</StartText><EndText>b</EndText>"
                           "<StartPrice><td>$</StartPrice><EndPrice></td></EndPrice>"
                           "<StartPromo>p</StartPromo><EndPromo>q</EndPromo>";
    ASSERT_EQ(LoadFile(Category("3", "A") + Agent(1) + Agent(2, optional)), 0);
    ASSERT_EQ(config.AgentCount(), 2u);
    const WebAgent& full = *config.agents()[1];
    EXPECT_EQ(full.endHeader, "");
    EXPECT_EQ(full.startPrice, "<td>$");
    EXPECT_EQ(full.endPrice, "</td>");
    EXPECT_EQ(full.endPromo, "q");

    for (const char* element : {"SiteType",
                                "SiteName",
                                "SiteAddress",
                                "FormatString",
                                "StartResult",
                                "EndResult",
                                "StartItem",
                                "EndItem",
                                "StartURL",
                                "EndURL"}) {
        SCOPED_TRACE(element);
        EXPECT_EQ(LoadFile(Agent(1) + Agent(2, "", element)), kBadMarker);
        EXPECT_EQ(config.AgentCount(), 1u);
    }
    EXPECT_EQ(LoadFile(Agent(0) + Agent(1)), 0);
    EXPECT_EQ(config.AgentCount(), 1u);
    // Only the last block decides the status; the valid agents before it stay.
    EXPECT_EQ(LoadFile(Agent(1) + Agent(2) + Agent(-3)), kBadMarker);
    EXPECT_EQ(config.AgentCount(), 2u);
}

TEST_F(AgentConfigurationTest, AMarkerOverTheBoundRefusesItsAgentWithTheReason)
{
    const std::string atBound(AgentConfiguration::kMaxMarkerSize, '?');
    const std::string overBound = "a" + std::string(AgentConfiguration::kMaxMarkerSize, '?');
    const std::string longName(5000, 'n'); // not a marker: no bound
    ASSERT_EQ(LoadFile(Agent(1, "<EndHeader>" + atBound + "</EndHeader>")
                       + Agent(2, "<StartResult>" + overBound + "</StartResult>", "StartResult")
                       + Agent(3, "<EndPromo>" + overBound + "</EndPromo>")
                       + Agent(4, "<SiteName>" + longName + "</SiteName>", "SiteName")),
              0);
    ASSERT_EQ(config.AgentCount(), 2u);
    EXPECT_EQ(config.agents()[0]->siteId, 1);
    EXPECT_EQ(config.agents()[1]->siteId, 4);
    EXPECT_EQ(config.FindAgent(2), nullptr);
    ASSERT_EQ(config.refused().size(), 2u);
    EXPECT_EQ(config.refused()[0].siteId, 2);
    EXPECT_EQ(config.refused()[0].reason,
              "its StartResult marker is 1001 bytes long; a marker may have at most 1000 bytes");
    EXPECT_EQ(config.RefusalOf(3),
              "its EndPromo marker is 1001 bytes long; a marker may have at most 1000 bytes");
    EXPECT_EQ(config.RefusalOf(1), std::nullopt);
    // A reload forgets the refusals.
    ASSERT_EQ(LoadFile(Agent(1)), 0);
    EXPECT_TRUE(config.refused().empty());
}

TEST_F(AgentConfigurationTest, ValuesAreVerbatimAndFirstOccurrenceWins)
{
    std::string text = "<WebAgent><SiteId> 9</SiteId><SiteId>10</SiteId><SiteType>3</SiteType>"
                       "<SiteName> A &amp; B\r\n</SiteName><SiteName>Other</SiteName>"
                       "<SiteAddress>x</SiteAddress><FormatString>f KEYWORD </FormatString>"
                       "<StartResult><td class=\"r\"></StartResult><EndResult></td></EndResult>"
                       "<StartItem>*</StartItem><EndItem>?</EndItem><StartURL>u</StartURL><EndURL>v</EndURL>"
                       "</WebAgent>";
    ASSERT_EQ(LoadFile(text), 0);
    ASSERT_EQ(config.AgentCount(), 1u);
    EXPECT_EQ(config.agents()[0]->siteId, 9);
    EXPECT_EQ(config.agents()[0]->siteName, " A &amp; B\r\n");
    EXPECT_EQ(config.agents()[0]->startResult, "<td class=\"r\">");
}

TEST_F(AgentConfigurationTest, BlocksAreTheFirstClosingTagAfterEachOpening)
{
    // A closing tag before the first opening tag does not end anything; an unclosed last block ends
    // the scan without changing the status.
    std::string text = "</WebAgent>" + Agent(1) + "<WebAgent><SiteId>2</SiteId>";
    ASSERT_EQ(LoadFile(text), 0);
    EXPECT_EQ(config.AgentCount(), 1u);
    // Nested opening tags: the outer block reaches the first closing tag, so the inner agent is read
    // as the outer one's fields.
    ASSERT_EQ(LoadFile("<WebAgent>" + Agent(5)), 0);
    ASSERT_EQ(config.AgentCount(), 1u);
    EXPECT_EQ(config.agents()[0]->siteId, 5);
}

TEST_F(AgentConfigurationTest, ZeroByteEndsTheText)
{
    std::string text = Category("3", "A") + Agent(1);
    text += '\0';
    text += Agent(2) + Category("0", "bad");
    ASSERT_EQ(LoadFile(text), 0);
    EXPECT_EQ(config.AgentCount(), 1u);
    EXPECT_EQ(config.CategoryCount(), 1u);
    // A zero byte inside a block cuts the block off unclosed.
    std::string cut = Agent(1);
    cut.insert(cut.find("<SiteName>"), 1, '\0');
    ASSERT_EQ(LoadFile(cut), 0);
    EXPECT_EQ(config.AgentCount(), 0u);
}

TEST_F(AgentConfigurationTest, LoadEmptiesBothListsButAgentsOutliveIt)
{
    ASSERT_EQ(LoadFile(Category("3", "A") + Agent(1)), 0);
    std::shared_ptr<WebAgent> held = config.agents()[0];
    EXPECT_EQ(config.Load(dir.File("missing.xml")), kCannotOpen);
    EXPECT_EQ(config.CategoryCount() + config.AgentCount(), 0u);
    // A worker holding the agent keeps using it after a reload.
    EXPECT_EQ(held->siteName, "Shop");
    std::string url;
    EXPECT_EQ(held->BuildSearchUrl("red shoes", url), 0);
    EXPECT_EQ(url, "http://shop/s?q=red+shoes&n=1");
}

TEST_F(AgentConfigurationTest, AReloadNeverChangesAnAgentHeldElsewhere)
{
    ASSERT_EQ(LoadFile(Agent(1, "<StartPrice>$</StartPrice>") + Agent(2, "<EndHeader>h</EndHeader>")), 0);
    std::shared_ptr<WebAgent> held = config.agents()[0];
    config.agents()[1]->stopRequested.request_stop();
    config.agents()[1]->owner = reinterpret_cast<WebSpider*>(&config);

    ASSERT_EQ(LoadFile(Agent(7) + Agent(8) + Agent(9, "<StartPrice>p</StartPrice>")), 0);
    // The held agent keeps the first load's values; the new agents are other objects.
    EXPECT_EQ(held->siteId, 1);
    EXPECT_EQ(held->startPrice, "$");
    ASSERT_EQ(config.AgentCount(), 3u);
    for (const std::shared_ptr<WebAgent>& agent : config.agents()) {
        EXPECT_NE(agent, held);
        // Nothing of an earlier agent is left on a new one.
        EXPECT_EQ(agent->endHeader, std::nullopt);
        EXPECT_FALSE(agent->stopRequested.stop_requested());
        EXPECT_EQ(agent->owner, nullptr);
    }
    EXPECT_EQ(config.agents()[0]->siteId, 7);
    EXPECT_EQ(config.agents()[0]->startPrice, std::nullopt);
    EXPECT_EQ(config.agents()[2]->startPrice, "p");
}

// The texts of an agent are views into the loaded text; the agent keeps that text alive, so a held
// agent reads the same after a reload with other contents and after the configuration is gone (a
// dangling view would show under the address sanitizer).
TEST_F(AgentConfigurationTest, AHeldAgentKeepsItsTextsAfterReloadAndDestruction)
{
    std::string extra = "<EndHeader><div id=\"r\"></EndHeader><StartPromo><i>$</StartPromo>";
    std::shared_ptr<WebAgent> fromFile;
    std::shared_ptr<WebAgent> fromText;
    {
        auto owner = std::make_unique<AgentConfiguration>();
        test::WriteFileBytes(path, Category("3", "A") + Agent(1, extra));
        ASSERT_EQ(owner->Load(path), 0);
        fromFile = owner->agents()[0];
        // Other contents of the same size, so a freed text would likely be replaced in place, then
        // texts loaded from memory, overwritten by the caller after the load.
        std::string other = Category("3", "B") + Agent(2, extra);
        for (char& c : other) {
            c = c == 'h' ? 'H' : c == '$' ? '#' : c;
        }
        test::WriteFileBytes(path, other);
        ASSERT_EQ(owner->Load(path), 0);
        EXPECT_EQ(owner->agents()[0]->startPromo, "<i>#");
        std::string text = Agent(3, "<StartText>t</StartText>");
        ASSERT_EQ(owner->LoadText(text), 0);
        fromText = owner->agents()[0];
        text.assign(text.size(), 'x');
        ASSERT_EQ(owner->LoadText(Agent(4)), 0);
    }
    EXPECT_EQ(fromFile->siteId, 1);
    EXPECT_EQ(fromFile->siteName, "Shop");
    EXPECT_EQ(fromFile->siteAddress, "http://shop");
    EXPECT_EQ(fromFile->endHeader, "<div id=\"r\">");
    EXPECT_EQ(fromFile->startPromo, "<i>$");
    EXPECT_EQ(fromFile->endUrl, "\"");
    std::string url;
    ASSERT_EQ(fromFile->BuildSearchUrl("red shoes", url), 0);
    EXPECT_EQ(url, "http://shop/s?q=red+shoes&n=1");
    EXPECT_TRUE(fromFile->ServesCategory(7));
    EXPECT_EQ(fromText->siteId, 3);
    EXPECT_EQ(fromText->startText, "t");
    EXPECT_EQ(fromText->formatString, "http://shop/s?q= KEYWORD &n=1");
}

TEST_F(AgentConfigurationTest, UnreadableFileCannotBeOpened)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads any file";
    }
    test::WriteFileBytes(path, Agent(1));
    ::chmod(path.c_str(), 0);
    EXPECT_EQ(config.Load(path), kCannotOpen);
}

void ExpectSameAsReference(const std::string& text)
{
    AgentConfiguration config;
    std::int32_t status = config.LoadText(text);
    EXPECT_TRUE(test::SameAsReference(config, status, test::ReferenceLoad(text))) << "text: " << text;
}

TEST(AgentConfigurationReference, TrickyTagPlacements)
{
    std::string agent = "<SiteType>1</SiteType><SiteName>n</SiteName><SiteAddress>a</SiteAddress>"
                        "<FormatString>f KEYWORD </FormatString><StartResult>r</StartResult>"
                        "<EndResult>e</EndResult><StartItem>i</StartItem><EndItem>j</EndItem>"
                        "<StartURL>u</StartURL><EndURL>v</EndURL>";
    for (const std::string& text : std::vector<std::string>{
             // Overlapping and broken tags.
             "<WebAgent><<SiteId>5</SiteId>" + agent + "</WebAgent>",
             "<WebAgent><SiteId>5</Site</SiteId>" + agent + "</WebAgent>",
             "<WebAgent><SiteId >5</SiteId><SiteId>6</SiteId>" + agent + "</WebAgent>",
             "<WebAgent></SiteId><SiteId>5</SiteId>" + agent + "</WebAgent>",
             "<WebAgent><SiteId>5</SiteId><SiteName></SiteName>" + agent + "</WebAgent>",
             "<WebAgent><SiteId>5</SiteId>" + agent + "<StartURL>late</StartURL></WebAgent>",
             // Names longer than any element, and a tag cut by the end of the text.
             "<WebAgent><SiteIdentifierLonger>1</SiteIdentifierLonger><SiteId>5</SiteId>" + agent
                 + "</WebAgent><WebAgent><SiteId>6</SiteId>" + agent + "</WebA",
             "<AgentType><TypeId>1</TypeId><TypeName>x</TypeName></AgentType><AgentType><TypeId>2</TypeId>"
             "<TypeName>y</TypeName></AgentTyp",
             "<AgentType><TypeId>1</TypeId><TypeName>x</TypeName></AgentType><AgentType><TypeId>2</TypeId>"
             "<TypeName>y</TypeName></AgentType>",
             // Blocks of the two scans interleaved.
             "<WebAgent><SiteId>5</SiteId><AgentType><TypeId>1</TypeId><TypeName>x</TypeName>" + agent
                 + "</WebAgent></AgentType>",
             "<AgentType><TypeId>3</TypeId></AgentType><TypeName>x</TypeName>",
             "<EndURL></EndURL>",
             "<",
             "</",
             "<>",
         }) {
        ExpectSameAsReference(text);
    }
}

TEST(AgentConfigurationReference, RandomTexts)
{
    const std::vector<std::string> pieces = {"<WebAgent>",
                                             "</WebAgent>",
                                             "<AgentType>",
                                             "</AgentType>",
                                             "<TypeId>",
                                             "</TypeId>",
                                             "<TypeName>",
                                             "</TypeName>",
                                             "<SiteId>",
                                             "</SiteId>",
                                             "<StructuredData>",
                                             "</StructuredData>",
                                             "schema.org",
                                             "<SiteType>",
                                             "</SiteType>",
                                             "<FormatString>",
                                             "</FormatString>",
                                             "<StartURL>",
                                             "</StartURL>",
                                             "<EndURL>",
                                             "</EndURL>",
                                             "<SiteName>",
                                             "</SiteName>",
                                             "<SiteAddress>",
                                             "</SiteAddress>",
                                             "<StartResult>",
                                             "</StartResult>",
                                             "<EndResult>",
                                             "</EndResult>",
                                             "<StartItem>",
                                             "</StartItem>",
                                             "<EndItem>",
                                             "</EndItem>",
                                             "<EndPromo>",
                                             "</EndPromo>",
                                             "1",
                                             "27",
                                             "-4",
                                             "x",
                                             "<",
                                             ">",
                                             "/",
                                             "<td>",
                                             "</",
                                             "<Site",
                                             "Id>",
                                             " ",
                                             "\n",
                                             std::string(1, '\0')};
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    // Half the texts are pieces strung at random, half a sound configuration with random damage, so
    // both nonsense and near misses of valid blocks are compared.
    std::string sound
        = Category("3", "A") + Agent(1) + Category("5", "") + Agent(2, "<StartText>t</StartText>");
    std::size_t loaded = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string text;
        if (round % 2 == 0) {
            std::uint32_t count = next() % 80;
            for (std::uint32_t i = 0; i < count; ++i) {
                text += pieces[next() % pieces.size()];
            }
        } else {
            text = sound;
            std::uint32_t edits = 1 + next() % 4;
            for (std::uint32_t i = 0; i < edits; ++i) {
                std::size_t at = next() % (text.size() + 1);
                if (next() % 2 == 0) {
                    text.insert(at, pieces[next() % pieces.size()]);
                } else {
                    text.erase(at, next() % 12);
                }
            }
        }
        AgentConfiguration config;
        std::int32_t status = config.LoadText(text);
        loaded += config.AgentCount();
        ASSERT_TRUE(test::SameAsReference(config, status, test::ReferenceLoad(text))) << "text: " << text;
    }
    // The damaged configurations keep many agents whole, so the comparison covered loaded agents.
    EXPECT_GT(loaded, 1000u);
}

} // namespace
} // namespace tallyhawk
