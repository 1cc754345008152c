#include "core/store/keyword_rule.h"
#include "core/store/rule_preview.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk
{
namespace
{

struct OneTextCase
{
    const char* rule;
    const char* text;
    bool passes;
};

class KeywordRuleOneText : public ::testing::TestWithParam<OneTextCase>
{ };

TEST_P(KeywordRuleOneText, Passes)
{
    const OneTextCase& c = GetParam();
    EXPECT_EQ(KeywordRule(c.rule).Matches(c.text), c.passes)
        << "rule [" << c.rule << "] text [" << c.text << "]";
}

INSTANTIATE_TEST_SUITE_P(CommaListsKeepTheirMeaning,
                         KeywordRuleOneText,
                         ::testing::Values(OneTextCase{"sony tv, 42 in", "Sony TV 42 inch", true},
                                           OneTextCase{"sony tv, 42 in", "Sony TV", false},
                                           OneTextCase{",,,", "anything", true},
                                           OneTextCase{"camera,,", "camera", true},
                                           OneTextCase{"", "", true},
                                           // A bare word still matches inside another word.
                                           OneTextCase{"tv", "QUAD ATV", true},
                                           OneTextCase{"a[b", "A[B", true},
                                           OneTextCase{"A[B", "a{b", false},
                                           // Only a to z change case.
                                           OneTextCase{"\xC9T\xC9", "\xE9t\xE9", false},
                                           OneTextCase{"\xE9T", "\xE9t\xE9", true},
                                           // A lone dash or star is an ordinary word.
                                           OneTextCase{"-", "50 - 60", true},
                                           OneTextCase{"-", "5060", false},
                                           OneTextCase{"*", "5*", true}));

INSTANTIATE_TEST_SUITE_P(Alternatives,
                         KeywordRuleOneText,
                         ::testing::Values(OneTextCase{"laptop | tablet", "Cheap tablet", true},
                                           OneTextCase{"laptop | tablet", "Cheap phone", false},
                                           OneTextCase{"sony, tv | lg", "Sony TV", true},
                                           OneTextCase{"sony, tv | lg", "Sony radio", false},
                                           OneTextCase{"sony, tv | lg", "LG radio", true},
                                           // An empty side is skipped, not read as "anything".
                                           OneTextCase{"laptop |", "Cheap phone", false},
                                           OneTextCase{" | ", "Cheap phone", true}));

INSTANTIATE_TEST_SUITE_P(Exclusions,
                         KeywordRuleOneText,
                         ::testing::Values(OneTextCase{"tv, -refurbished", "Sony TV", true},
                                           OneTextCase{"tv, -refurbished", "Refurbished Sony TV", false},
                                           OneTextCase{"-refurbished", "Sony TV", true},
                                           OneTextCase{"-refurbished", "REFURBISHED", false},
                                           OneTextCase{"tv -\"open box\"", "TV open box", false},
                                           OneTextCase{"tv -\"open box\"", "TV openbox", true}));

INSTANTIATE_TEST_SUITE_P(Phrases,
                         KeywordRuleOneText,
                         ::testing::Values(OneTextCase{"\"gift card\"", "Free Gift Card today", true},
                                           OneTextCase{"\"gift card\"", "card gift", false},
                                           OneTextCase{"\"gift card\"", "giftcard", false},
                                           // Whole words only.
                                           OneTextCase{"\"gift card\"", "regift cards", false},
                                           OneTextCase{"\"gift card\"", "(gift card)", true},
                                           // A "|" or comma inside quotes belongs to the phrase.
                                           OneTextCase{"\"a|b\"", "x a|b y", true},
                                           OneTextCase{"\"a, b\"", "a, b", true},
                                           OneTextCase{"\"a, b\"", "b a", false},
                                           // An unclosed quote runs to the end; empty quotes are nothing.
                                           OneTextCase{"\"gift card", "gift card", true},
                                           OneTextCase{"\"\"", "anything", true}));

INSTANTIATE_TEST_SUITE_P(Prefixes,
                         KeywordRuleOneText,
                         ::testing::Values(OneTextCase{"tv*", "TVs on sale", true},
                                           OneTextCase{"tv*", "QUAD ATV", false},
                                           OneTextCase{"tv*", "4K-TV", true},
                                           OneTextCase{"tv*", "t", false},
                                           OneTextCase{"-tv*", "QUAD ATV", true},
                                           OneTextCase{"-tv*", "TVs", false}));

std::optional<std::string> MatchOf(const char* rule, std::vector<std::string_view> texts)
{
    return KeywordRule(rule).Match(texts);
}

TEST(KeywordRule, EachTextMustHoldEveryWordOnItsOwn)
{
    EXPECT_EQ(MatchOf("camera, lens", {"CAMERA", "lens"}), std::nullopt);
    EXPECT_EQ(MatchOf("camera, lens", {"CAMERA", "camera lens"}), "camera, lens");
}

TEST(KeywordRule, AnExcludedWordInAnyTextRejectsTheItem)
{
    EXPECT_EQ(MatchOf("tv, -refurbished", {"Sony TV", "refurbished unit"}), std::nullopt);
    EXPECT_EQ(MatchOf("tv, -refurbished", {"Sony TV", "new unit"}), "tv, -refurbished");
}

TEST(KeywordRule, MatchNamesTheAlternativeThatPassed)
{
    EXPECT_EQ(MatchOf("  laptop |tablet , cheap ", {"cheap tablet"}), "tablet , cheap");
    EXPECT_EQ(MatchOf(",,", {"x"}), "");
    EXPECT_EQ(MatchOf("laptop", {}), std::nullopt);
}

// The settings' count looks at the newest items only, and at every text of each.
TEST(RulePreview, CountsThePassingAmongTheNewest)
{
    std::vector<ItemRecord> newestFirst;
    for (const char* store : {"Sony Store", "LG", "Sony Store", "Sony Store"}) {
        ItemValues values;
        values.title = "TV";
        values.storeName = store;
        newestFirst.push_back(ItemRecord::Make(values, 0));
    }
    const KeywordRule rule("sony");
    EXPECT_EQ(RulePreview::CountPassing(rule, newestFirst), 3u);
    EXPECT_EQ(RulePreview::CountPassing(rule, newestFirst, 2), 1u);
    EXPECT_EQ(RulePreview::CountPassing(KeywordRule("-sony"), newestFirst), 1u);
    EXPECT_EQ(RulePreview::CountPassing(rule, {}), 0u);
}

} // namespace
} // namespace tallyhawk
