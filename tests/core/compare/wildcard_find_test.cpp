#include "core/compare/scrape_rules.h"
#include "core/compare/wildcard_find.h"

#include <gtest/gtest.h>

#include <random>

namespace tallyhawk
{
namespace
{

// The marker rule written out position by position, with no shortcuts, to hold the real search to.
std::optional<WildcardMatch> ReferenceFind(std::string_view text, std::string_view marker)
{
    if (marker.empty()) {
        return WildcardMatch{0, 0};
    }
    for (std::size_t start = 0; start < text.size(); ++start) {
        long adjustment = 0;
        std::size_t t = start;
        std::size_t m = 0;
        bool next = false;
        while (!next) {
            if (m == marker.size()) {
                return WildcardMatch{start,
                                     static_cast<std::size_t>(static_cast<long>(marker.size()) + adjustment)};
            }
            if (t == text.size()) {
                return std::nullopt;
            }
            if (marker[m] == '*') {
                if (m + 1 == marker.size()) {
                    return WildcardMatch{
                        start, static_cast<std::size_t>(static_cast<long>(marker.size()) + adjustment)};
                }
                while (t < text.size() && text[t] != marker[m + 1]) {
                    ++t;
                    ++adjustment;
                }
                if (t == text.size()) {
                    next = true;
                    continue;
                }
                --adjustment;
                ++m;
                continue;
            }
            if (marker[m] == '?' || marker[m] == text[t]) {
                ++t;
                ++m;
            } else {
                next = true;
            }
        }
    }
    return std::nullopt;
}

void ExpectMatch(std::string_view text, std::string_view marker, std::size_t position, std::size_t length)
{
    std::optional<WildcardMatch> match = WildcardFind(text, marker);
    ASSERT_TRUE(match) << text << " / " << marker;
    EXPECT_EQ(match->position, position) << text << " / " << marker;
    EXPECT_EQ(match->length, length) << text << " / " << marker;
}

TEST(WildcardFind, LiteralsQuestionMarksAndStars)
{
    ExpectMatch("xx<b>Blue</b>", "<b>", 2, 3);
    ExpectMatch("a<td>b", "<td*>", 1, 4);
    ExpectMatch("a<td class=\"p\">b", "<td*>", 1, 14);
    ExpectMatch("price: $5", "$?", 7, 2);
    // A star followed by a question mark wants a literal question mark.
    EXPECT_FALSE(WildcardFind("<a href=x>", "<a*?"));
    ExpectMatch("<a href=x?y>", "<a*?", 0, 10);
    // A closing star counts as one byte, however little it covered.
    ExpectMatch("abcdef", "bc*", 1, 3);
    // The star stops at the first occurrence of the byte after it: no backtracking to a later one.
    EXPECT_FALSE(WildcardFind("<i>a>b>y", "<i>*>y"));
    EXPECT_FALSE(WildcardFind("AB", "ab"));
}

TEST(WildcardFind, EmptyMarkerAndTextEndingInsideAnAttempt)
{
    ExpectMatch("", "", 0, 0);
    ExpectMatch("abc", "", 0, 0);
    EXPECT_FALSE(WildcardFind("", "a"));
    // The first attempt runs into the end of the text: no later position is tried.
    EXPECT_FALSE(WildcardFind("xab", "ab?"));
    EXPECT_FALSE(WildcardFind("abc", "c*"));
}

TEST(WildcardFind, AgreesWithTheRuleOnRandomTexts)
{
    std::mt19937 random(20261207);
    const std::string alphabet = "ab<>?*";
    auto randomText = [&](std::size_t maxLength, std::size_t letters) {
        std::string text(random() % (maxLength + 1), ' ');
        for (char& c : text) {
            c = alphabet[random() % letters];
        }
        return text;
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string text = randomText(24, 4);
        const std::string marker = randomText(6, 6);
        std::optional<WildcardMatch> expected = ReferenceFind(text, marker);
        std::optional<WildcardMatch> got = WildcardFind(text, marker);
        ASSERT_EQ(expected.has_value(), got.has_value()) << "text " << text << " marker " << marker;
        if (expected) {
            ASSERT_EQ(got->position, expected->position) << "text " << text << " marker " << marker;
            ASSERT_EQ(got->length, expected->length) << "text " << text << " marker " << marker;
        }
    }
}

TEST(WildcardFind, HostilePagesStayLinear)
{
    // Every position holds the star's start but never what must follow the star's byte: a search that
    // rescanned from each position would take about 10^10 steps here.
    const std::string page(100000, 'a');
    EXPECT_FALSE(WildcardFind(page + "bx", "a*bc"));
    EXPECT_FALSE(WildcardFind(page, "*b"));
    ExpectMatch(page + "bc", "a*bc", 0, 100002);
}

TEST(WildcardFind, AStopRequestEndsASlowSearchAsNotFound)
{
    // At the marker bound, every position of this page costs a thousand comparisons.
    const std::string page = std::string(320000, 'a') + "b";
    const std::string marker = "a" + std::string(998, '?') + "b";
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(WildcardFind(page, marker, stop.get_token()));
    EXPECT_FALSE(FindBetween(page, "a", "?b", stop.get_token()));
    // Unstopped, the same searches find what is there.
    ExpectMatch(page.substr(318000), marker, 2000 - 999, 1000);
    EXPECT_TRUE(FindBetween(page, "a", "?b"));
}

TEST(ExtractBetween, ValueBetweenTheMarkers)
{
    EXPECT_EQ(ExtractBetween("<b>Blue</b>", "<b>", "</b>"), "Blue");
    EXPECT_EQ(ExtractBetween("<td class=\"x\">9.99</td>", "<td*>", "</td>"), "9.99");
    // Empty values and missing markers give nothing.
    EXPECT_FALSE(ExtractBetween("<b></b>", "<b>", "</b>"));
    EXPECT_FALSE(ExtractBetween("<b>Blue", "<b>", "</b>"));
    EXPECT_FALSE(ExtractBetween("Blue</b>", "<b>", "</b>"));
    EXPECT_FALSE(ExtractBetween("<b>Blue</b>", std::nullopt, "</b>"));
    EXPECT_FALSE(ExtractBetween(std::nullopt, "<b>", "</b>"));
    // The end marker is looked for after the start marker's match only.
    EXPECT_EQ(ExtractBetween("</b><b>x</b>", "<b>", "</b>"), "x");
}

TEST(CleanPrice, KeepsTheFirstNumber)
{
    auto clean = [](std::string text) {
        return CleanPrice(text);
    };
    EXPECT_EQ(clean("$1,299.99"), "1299.99");
    EXPECT_EQ(clean("Now: 5.00 - 7.00"), "5.00");
    EXPECT_EQ(clean("  <b>12</b>"), "12");
    EXPECT_EQ(clean("free"), "");
    EXPECT_EQ(clean(""), "");
    EXPECT_DOUBLE_EQ(PriceValue("1.234.56"), 1.234);
    EXPECT_DOUBLE_EQ(PriceValue("1299.99"), 1299.99);
    EXPECT_DOUBLE_EQ(PriceValue(".5"), 0.5);
    EXPECT_DOUBLE_EQ(PriceValue("."), 0.0);
    EXPECT_DOUBLE_EQ(PriceValue(""), 0.0);
    EXPECT_DOUBLE_EQ(PriceValue("0.00"), 0.0);
}

TEST(MatchesAnyWord, OneWordAnywhereIgnoringCase)
{
    EXPECT_TRUE(MatchesAnyWord("Shoe Rack RED", "red shoes"));
    EXPECT_FALSE(MatchesAnyWord("Blue Boots", "red shoes"));
    EXPECT_TRUE(MatchesAnyWord("Bored", "red"));
    EXPECT_FALSE(MatchesAnyWord("caf\xc9", "caf\xe9"));
    EXPECT_FALSE(MatchesAnyWord("anything", ""));
    EXPECT_FALSE(MatchesAnyWord("anything", "   "));
    EXPECT_FALSE(MatchesAnyWord(std::nullopt, "red"));
    EXPECT_FALSE(MatchesAnyWord("red", std::nullopt));
}

} // namespace
} // namespace tallyhawk
