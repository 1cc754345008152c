#include "server/feeds/feed_item_texts.h"
#include "server/feeds/feed_price.h"
#include "server/feeds/feed_text.h"

#include <gtest/gtest.h>

namespace tallyhawk::server
{
namespace
{

struct CleanCase
{
    const char* text;
    bool html;
    const char* cleaned;
};

class FeedTextCleaning : public testing::TestWithParam<CleanCase>
{ };

TEST_P(FeedTextCleaning, GivesOneLineOfText)
{
    EXPECT_EQ(FeedTextCleaner::Clean({GetParam().text, GetParam().html}), GetParam().cleaned)
        << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    FeedTextCleaner,
    FeedTextCleaning,
    testing::Values(CleanCase{"<b>Mower</b> &amp; <i>edger</i>", true, "Mower & edger"},
                    CleanCase{"Line one<br/>line two</p><p>three", true, "Line one line two three"},
                    CleanCase{"<a href=\"x?a>b\" title='>'>Deal</a>", true, "Deal"},
                    CleanCase{"Sale<script>document.write('<b>x</b>')</script> now<STYLE>b{}</STYLE>!",
                              true,
                              "Sale now !"},
                    CleanCase{"<!-- a <b>comment</b> -->Deal", true, "Deal"},
                    CleanCase{"AT&T: 5 < 6 & 7 > 3", true, "AT&T: 5 < 6 & 7 > 3"},
                    CleanCase{"&lt;b&gt;escaped&lt;/b&gt;", true, "<b>escaped</b>"},
                    CleanCase{"&euro;5 &#8364;5 &#x20ac;5 &nbsp;&hellip;",
                              true,
                              "\xE2\x82\xAC"
                              "5 \xE2\x82\xAC"
                              "5 \xE2\x82\xAC"
                              "5 \xE2\x80\xA6"},
                    CleanCase{"&#0; &#xD800; &#99999999999;", true, "\xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD"},
                    CleanCase{"&unknown; &amp &#xZZ;", true, "&unknown; &amp &#xZZ;"},
                    CleanCase{"&#27;[31mred&#7;", true, "[31mred"},
                    CleanCase{"<unclosed tag", true, ""},
                    CleanCase{"<b>plain</b> &amp;", false, "<b>plain</b> &amp;"},
                    CleanCase{"  two\n\t lines \xC2\xA0 here\x01\xC2\x9B ", false, "two lines here"}));

struct PriceCase
{
    const char* text;
    std::optional<std::string> price;
};

class FirstPrice : public testing::TestWithParam<PriceCase>
{ };

TEST_P(FirstPrice, IsTakenAsWritten)
{
    EXPECT_EQ(FeedPrice::First(GetParam().text), GetParam().price) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(FeedPrice,
                         FirstPrice,
                         testing::Values(PriceCase{"Mower for $12.99, was $20", "$12.99"},
                                         PriceCase{"Akku-Bohrer 12,99 \xE2\x82\xAC statt 20 \xE2\x82\xAC",
                                                   "12,99 \xE2\x82\xAC"},
                                         PriceCase{"Kettle \xC2\xA3"
                                                   "5 at the corner shop",
                                                   "\xC2\xA3"
                                                   "5"},
                                         PriceCase{"Desk \xE2\x82\xAC 3,50.", "\xE2\x82\xAC 3,50"},
                                         PriceCase{"TV 1,299.00$ (was 1,499.00$)", "1,299.00$"},
                                         PriceCase{"Lamp 15\xC2\xA0\xE2\x82\xAC", "15 \xE2\x82\xAC"},
                                         PriceCase{"Deal 4999 $59.99 on a kettle", "$59.99"},
                                         PriceCase{"2 for 1\xC2\xA0\xE2\x82\xAC"
                                                   "5",
                                                   "\xE2\x82\xAC"
                                                   "5"},
                                         PriceCase{"Model 3000 TV, 20% off", std::nullopt},
                                         PriceCase{"Price: $ later", std::nullopt},
                                         PriceCase{"A4 paper 500 sheets", std::nullopt},
                                         PriceCase{"", std::nullopt}));

FeedEntry Entry(std::string id, std::string link, std::string title, std::optional<std::int64_t> published)
{
    FeedEntry entry;
    entry.id = std::move(id);
    entry.link = std::move(link);
    entry.title = {std::move(title), true};
    entry.published = published;
    return entry;
}

TEST(FeedItemTexts, TitleAndDescriptionAreCleanedAndThePriceComesFromTheTitleFirst)
{
    FeedEntry entry = Entry("g1", "", "<b>Drill</b> &amp; bits \xE2\x82\xAC 19", std::nullopt);
    entry.summary = {"<p>Was $40, now $25</p>", true};
    entry.content = {"<p>Long text</p>", true};

    FeedItemTexts texts = FeedItemTexts::From(entry);

    EXPECT_EQ(texts.title, "Drill & bits \xE2\x82\xAC 19");
    EXPECT_EQ(texts.description, "Was $40, now $25");
    EXPECT_EQ(texts.extra, "\xE2\x82\xAC 19");
}

TEST(FeedItemTexts, ContentStandsInForAnEmptySummaryButGivesNoPrice)
{
    FeedEntry entry = Entry("g1", "", "Drill", std::nullopt);
    entry.summary = {"<p> </p>", true};
    entry.content = {"Now <b>$25</b>", true};

    FeedItemTexts texts = FeedItemTexts::From(entry);

    EXPECT_EQ(texts.description, "Now $25");
    EXPECT_EQ(texts.extra, "");
}

TEST(FeedItemTexts, ThePriceComesFromTheSummaryWhenTheTitleHasNone)
{
    FeedEntry entry = Entry("g1", "", "Drill", std::nullopt);
    entry.summary = {"Now 12,99&nbsp;&euro; instead of 20 &euro;", true};

    EXPECT_EQ(FeedItemTexts::From(entry).extra, "12,99 \xE2\x82\xAC");
}

TEST(FeedItemTexts, KeyIsTheIdElseTheLinkElseAHashOfTitleAndDate)
{
    EXPECT_EQ(FeedItemTexts::Key(Entry("tag:shop,2026:1", "https://shop.example/1", "A", 5)),
              "tag:shop,2026:1");
    EXPECT_EQ(FeedItemTexts::Key(Entry("", "https://shop.example/1", "A", 5)), "https://shop.example/1");

    std::string hashed = FeedItemTexts::Key(Entry("", "", "<b>Drill</b> deal", 5));
    EXPECT_EQ(hashed.rfind("hash:", 0), 0u);
    EXPECT_EQ(hashed.size(), 5u + 16u);
    // The same entry again, its markup and spacing changed, is the same entry.
    EXPECT_EQ(FeedItemTexts::Key(Entry("", "", "Drill  <i>deal</i>", 5)), hashed);
    EXPECT_NE(FeedItemTexts::Key(Entry("", "", "Drill deal", 6)), hashed);
    EXPECT_NE(FeedItemTexts::Key(Entry("", "", "Drill deals", 5)), hashed);
    EXPECT_NE(FeedItemTexts::Key(Entry("", "", "Drill deal", std::nullopt)), hashed);
}

TEST(FeedItemTexts, HashKeyIsStableAcrossRuns)
{
    // FNV-1a 64 of "Drill\n5", worked out once: stored keys must not change with the build.
    EXPECT_EQ(FeedItemTexts::Key(Entry("", "", "Drill", 5)), "hash:4a1cae367b2e72cb");
}

} // namespace
} // namespace tallyhawk::server
