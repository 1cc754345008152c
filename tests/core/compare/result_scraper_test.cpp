#include "core/compare/result_scraper.h"

#include <gtest/gtest.h>

#include <vector>

namespace tallyhawk
{
namespace
{

// An agent whose result blocks are <li>...</li> with bold names, <a> links and <i> prices.
std::shared_ptr<WebAgent> ListAgent()
{
    auto agent = std::make_shared<WebAgent>();
    agent->siteName = "Shop";
    agent->siteAddress = "http://shop.test/";
    agent->startResult = "<li>";
    agent->endResult = "</li>";
    agent->startItem = "<b>";
    agent->endItem = "</b>";
    agent->startUrl = "<a href=\"";
    agent->endUrl = "\">";
    agent->startPrice = "<i>";
    agent->endPrice = "</i>";
    return agent;
}

std::string Block(std::string_view name, std::string_view link, std::string_view price)
{
    return "<li><b>" + std::string(name) + "</b><a href=\"" + std::string(link) + "\">go</a><i>"
        + std::string(price) + "</i></li>\n";
}

std::vector<std::string> Names(const ResultList& list)
{
    std::vector<std::string> names;
    for (const PriceResult& result : list) {
        names.push_back(result.name);
    }
    return names;
}

TEST(ResultScraper, BlocksRunFromStartMatchToEndMarkerAndTheCursorOnlyMovesOn)
{
    auto agent = ListAgent();
    const std::string page = "head <li>one</li> mid <li>two</li> <li>open";
    ResultScraper scraper(page, *agent);
    EXPECT_EQ(scraper.NextResultBlock(), "<li>one</li>");
    EXPECT_EQ(scraper.NextResultBlock(), "<li>two</li>");
    EXPECT_FALSE(scraper.NextResultBlock());
    EXPECT_FALSE(scraper.NextResultBlock());

    // The end marker reaches its written length past its match, wildcards counted as one byte.
    agent->endResult = "</l*>";
    ResultScraper wild("<li>x</lii>tail", *agent);
    EXPECT_EQ(wild.NextResultBlock(), "<li>x</lii");

    // The end marker is looked for from the start of the start marker's match: a marker pair that
    // overlaps gives a block of the start marker alone, one of a single byte none.
    agent->startResult = "<";
    agent->endResult = "<";
    ResultScraper tiny("<<<", *agent);
    EXPECT_FALSE(tiny.NextResultBlock());
}

TEST(ResultScraper, NameTextAndLinkAreCleanedAndLinksCompleted)
{
    auto agent = ListAgent();
    agent->startText = "<p>";
    agent->endText = "</p>";
    const std::string page
        = "<li><b>  Blue  &amp; Red </b><p>a<br>b&nbsp;c</p><a href=\"item?id=1\">x</a><i>$9</i></li>";
    ResultScraper scraper(page, *agent);
    std::optional<PriceResult> result = scraper.NextResult();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->name, "Blue  & Red ");
    EXPECT_EQ(result->text, "ab c");
    EXPECT_EQ(result->link, "http://shop.test/item?id=1");
    EXPECT_EQ(result->siteName, "Shop");
    EXPECT_DOUBLE_EQ(result->price, 9.0);
    EXPECT_EQ(result->id, 0);
}

TEST(ResultScraper, LinkCompletion)
{
    auto linkOf = [](std::string_view address, std::string_view link) {
        auto agent = ListAgent();
        agent->siteAddress = address;
        const std::string page = Block("shoe", link, "1");
        ResultScraper scraper(page, *agent);
        std::optional<PriceResult> result = scraper.NextResult();
        return result ? result->link : std::string("(none)");
    };
    EXPECT_EQ(linkOf("http://a.test/", "/x"), "http://a.test//x");
    EXPECT_EQ(linkOf("http://a.test", "x"), "http://a.testx");
    EXPECT_EQ(linkOf("http://a.test/", "www.b.test/x"), "http://www.b.test/x");
    EXPECT_EQ(linkOf("http://a.test/", "WWW.b.test"), "http://a.test/WWW.b.test");
    EXPECT_EQ(linkOf("http://a.test/", "http://b.test/x"), "http://b.test/x");
    // https links are absolute too, not joined to the agent's address.
    EXPECT_EQ(linkOf("http://a.test/", "https://b.test/x"), "https://b.test/x");
    EXPECT_EQ(linkOf("http://a.test/", "ftp://b.test/x"), "ftp://b.test/x");
    EXPECT_EQ(linkOf("http://a.test/", "mailto:a@b.test"), "mailto:a@b.test");
}

TEST(ResultScraper, PromotionalPriceWinsUnlessItReadsZero)
{
    auto agent = ListAgent();
    agent->startPromo = "<s>";
    agent->endPromo = "</s>";
    auto priceOf = [&](std::string_view promo, std::string_view regular) {
        std::string page = "<li><b>shoe</b><a href=\"x\">x</a><s>" + std::string(promo) + "</s><i>"
            + std::string(regular) + "</i></li>";
        ResultScraper scraper(page, *agent);
        return scraper.NextResult()->price;
    };
    EXPECT_DOUBLE_EQ(priceOf("0", "19.99"), 19.99);
    EXPECT_DOUBLE_EQ(priceOf("14.99", "19.99"), 14.99);
    EXPECT_DOUBLE_EQ(priceOf("sale!", "$1,019.50"), 1019.5);

    // A pair with one marker missing is not read at all.
    agent->endPrice.reset();
    EXPECT_DOUBLE_EQ(priceOf("0", "19.99"), 0.0);
}

TEST(ResultScraper, CollectResultsKeepsMatchingPricedOffersHighestFirst)
{
    auto agent = ListAgent();
    const std::string page = Block("Red shoes", "a", "10") + Block("Blue Boots", "b", "50")
        + Block("Shoe Rack RED", "c", "30") + Block("red sock", "d", "0") + Block("red hat", "e", "n/a")
        + Block("RED pair", "f", "10");
    ResultScraper scraper(page, *agent);
    std::optional<ResultList> list = scraper.CollectResults("red shoes");
    ASSERT_TRUE(list);
    // Equal prices keep the page's order.
    EXPECT_EQ(Names(*list), (std::vector<std::string>{"Shoe Rack RED", "Red shoes", "RED pair"}));
}

TEST(ResultScraper, AStopRequestEndsTheScanWithNoList)
{
    auto agent = ListAgent();
    std::string page;
    for (int i = 0; i < 400; ++i) {
        page += Block("red " + std::to_string(i), "x", "5");
    }
    std::stop_source stop;
    stop.request_stop();
    ScrapeTrace trace;
    ResultScraper stopped(page, *agent, &trace, stop.get_token());
    EXPECT_FALSE(stopped.CollectResults("red"));
    EXPECT_LT(trace.blocks.size(), 400u);

    ResultScraper whole(page, *agent);
    std::optional<ResultList> list = whole.CollectResults("red");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->Count(), 400u);
}

TEST(ResultScraper, ABlockWithoutLinkEndsThePage)
{
    auto agent = ListAgent();
    const std::string page = Block("red 1", "a", "1") + Block("red 2", "b", "2")
        + "<li><b>red 3</b><i>3</i></li>" + Block("red 4", "d", "4");
    ResultScraper scraper(page, *agent);
    std::optional<ResultList> list = scraper.CollectResults("red");
    ASSERT_TRUE(list);
    EXPECT_EQ(Names(*list), (std::vector<std::string>{"red 2", "red 1"}));

    // When the first block already has no name there is no list at all.
    const std::string nameless = "<li><a href=\"x\">x</a></li>" + Block("red", "a", "1");
    ResultScraper first(nameless, *agent);
    EXPECT_FALSE(first.CollectResults("red"));
}

TEST(ResultScraper, HeaderSkipAndMissingParts)
{
    auto agent = ListAgent();
    agent->endHeader = "<ul class=\"results\">";
    const std::string results
        = Block("red ad", "ad", "99") + "<ul class=\"results\">" + Block("red shoe", "a", "5");
    ResultScraper scraper(results, *agent);
    std::optional<ResultList> list = scraper.CollectResults("red");
    ASSERT_TRUE(list);
    EXPECT_EQ(Names(*list), (std::vector<std::string>{"red shoe"}));

    // The header marker is literal: a star in it is no wildcard.
    agent->endHeader = "<ul*>";
    ResultScraper literal(results, *agent);
    EXPECT_FALSE(literal.CollectResults("red"));

    agent->endHeader.reset();
    agent->siteName.reset();
    ResultScraper noName(results, *agent);
    EXPECT_FALSE(noName.CollectResults("red"));

    // A page with blocks but no offer that passes gives an empty list, not none.
    agent->siteName = "Shop";
    const std::string unmatched = Block("blue", "a", "1");
    ResultScraper none(unmatched, *agent);
    std::optional<ResultList> empty = none.CollectResults("red");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Count(), 0u);
}

TEST(ResultScraper, TheTraceTellsWhereMarkersLandedAndWhy)
{
    auto agent = ListAgent();
    const std::string page
        = "<html>" + Block("red shoe", "a", "$5") + Block("blue", "b", "1") + Block("red", "c", "0");
    ScrapeTrace trace;
    ResultScraper scraper(page, *agent, &trace);
    ASSERT_TRUE(scraper.CollectResults("red"));
    ASSERT_EQ(trace.blocks.size(), 3u);
    EXPECT_EQ(trace.blocks[0].pageOffset, 6u);
    ASSERT_EQ(trace.blocks[0].fields.size(), 5u);
    EXPECT_EQ(trace.blocks[0].fields[0].raw, "red shoe");
    EXPECT_EQ(trace.blocks[0].fields[0].pageOffset, 6u + 7u);
    EXPECT_EQ(trace.blocks[0].cleanedPrice, "5");
    EXPECT_TRUE(trace.blocks[0].kept);
    EXPECT_FALSE(trace.blocks[1].kept);
    EXPECT_NE(trace.blocks[1].verdict.find("no word"), std::string::npos);
    EXPECT_NE(trace.blocks[2].verdict.find("price 0"), std::string::npos);
}

TEST(ResultScraper, ZeroByteEndsThePage)
{
    auto agent = ListAgent();
    const std::string page = Block("red 1", "a", "1") + std::string(1, '\0') + Block("red 2", "b", "2");
    ResultScraper scraper(page, *agent);
    std::optional<ResultList> list = scraper.CollectResults("red");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->Count(), 1u);
}

} // namespace
} // namespace tallyhawk
