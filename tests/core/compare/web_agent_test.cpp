#include "core/compare/web_agent.h"

#include <gtest/gtest.h>

namespace tallyhawk
{
namespace
{

bool Serves(const char* siteType, std::int32_t category)
{
    WebAgent agent;
    agent.siteType = siteType;
    return agent.ServesCategory(category);
}

TEST(WebAgent, ServesCategoryLooksOnlyAtTheFirstOccurrence)
{
    EXPECT_TRUE(Serves("3,7", 3));
    EXPECT_TRUE(Serves("3,7", 7));
    EXPECT_TRUE(Serves("3 7", 3));
    EXPECT_TRUE(Serves("3 7", 7));
    EXPECT_TRUE(Serves("37", 37));
    EXPECT_TRUE(Serves("37", 7));
    EXPECT_FALSE(Serves("37", 3));
    EXPECT_FALSE(Serves("13", 1));
    EXPECT_TRUE(Serves("21", 1));
    // The first "1" is followed by "3"; the later, well separated "1" is never looked at.
    EXPECT_FALSE(Serves("13,1", 1));
    EXPECT_TRUE(Serves("2,-4", -4));
    EXPECT_FALSE(Serves("", 0));
    WebAgent noType;
    EXPECT_FALSE(noType.ServesCategory(3));
}

TEST(WebAgent, EncodeQueryText)
{
    EXPECT_EQ(EncodeQueryText("red shoes"), "red+shoes");
    EXPECT_EQ(EncodeQueryText("a+b&c"), "a%2bb%26c");
    EXPECT_EQ(EncodeQueryText("AZaz09*-._"), "AZaz09*-._");
    EXPECT_EQ(EncodeQueryText(std::string_view("\xe9\xff\x00/", 4)), "%e9%ff%00%2f");
    EXPECT_EQ(EncodeQueryText(""), "");
}

TEST(WebAgent, BuildSearchUrlReplacesTheFirstMarker)
{
    WebAgent agent;
    std::string url;
    agent.formatString = "http://shop/s?q= KEYWORD &x= KEYWORD &n=1";
    ASSERT_EQ(agent.BuildSearchUrl("red shoes", url), 0);
    EXPECT_EQ(url, "http://shop/s?q=red+shoes&x= KEYWORD &n=1");

    agent.formatString = "http://shop/s?q= KEYWORD ";
    ASSERT_EQ(agent.BuildSearchUrl("a&b", url), 0);
    EXPECT_EQ(url, "http://shop/s?q=a%26b");
}

TEST(WebAgent, BuildSearchUrlFailures)
{
    WebAgent agent;
    std::string url = "stale";
    EXPECT_EQ(agent.BuildSearchUrl("x", url), kNoKeywordMarker);
    EXPECT_TRUE(url.empty());
    agent.formatString = " KEYWORD &q=1";
    EXPECT_EQ(agent.BuildSearchUrl("x", url), kNoKeywordMarker);
    agent.formatString = "http://shop/?q=KEYWORD";
    EXPECT_EQ(agent.BuildSearchUrl("x", url), kNoKeywordMarker);
    agent.formatString = "http://shop/?q= KEYWORD ";
    EXPECT_EQ(agent.BuildSearchUrl("", url), kUnusableSearchText);
}

TEST(WebAgent, BuildSearchUrlHoldsTo249Characters)
{
    WebAgent agent;
    std::string prefix = "http://shop/?q=";
    std::string format = prefix + " KEYWORD &end";
    agent.formatString = format;
    std::string url;
    std::size_t room = WebAgent::kMaxUrlLength - prefix.size() - 4;
    ASSERT_EQ(agent.BuildSearchUrl(std::string(room, 'a'), url), 0);
    EXPECT_EQ(url.size(), 249u);
    EXPECT_EQ(agent.BuildSearchUrl(std::string(room + 1, 'a'), url), kUnusableSearchText);
    EXPECT_TRUE(url.empty());
    // Encoding can triple the length: the limit applies to the encoded address.
    EXPECT_EQ(agent.BuildSearchUrl(std::string(room / 3 + 1, '&'), url), kUnusableSearchText);
    ASSERT_EQ(agent.BuildSearchUrl(std::string(room / 3, '&'), url), 0);
}

} // namespace
} // namespace tallyhawk
