#include "core/compare/result_scraper.h"
#include "core/compare/structured_offers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tallyhawk
{
namespace
{

std::string Script(const std::string& json, const std::string& type = "application/ld+json")
{
    return "<script type=\"" + type + "\">" + json + "</script>\n";
}

std::string Page(const std::string& body)
{
    return "<!DOCTYPE html><html><head><title>Results</title></head><body>" + body + "</body></html>";
}

struct Expected
{
    std::string name;
    double price;
    std::string currency;
    std::string link;
};

struct PageCase
{
    const char* what;
    std::string page;
    std::vector<Expected> offers;
};

TEST(StructuredOffers, ReadsTheShapesShopsUse)
{
    const std::vector<PageCase> cases = {
        {"a Product with an Offer",
         Page(Script(R"({"@context":"https://schema.org","@type":"Product","name":"Kettle",
                "url":"/p/kettle","offers":{"@type":"Offer","price":24.5,"priceCurrency":"EUR"}})")),
         {{"Kettle", 24.5, "EUR", "/p/kettle"}}},
        {"an ItemList of Products in ListItems",
         Page(Script(R"({"@context":"https://schema.org","@type":"ItemList","itemListElement":[
                {"@type":"ListItem","position":1,"item":{"@type":"Product","name":"Red mug",
                  "offers":{"@type":"Offer","price":"7.99","priceCurrency":"USD","url":"https://s.test/1"}}},
                {"@type":"ListItem","position":2,"item":{"@type":"Product","name":"Blue mug",
                  "offers":{"@type":"Offer","price":"8.49","priceCurrency":"USD","url":"https://s.test/2"}}}]})")),
         {{"Red mug", 7.99, "USD", "https://s.test/1"}, {"Blue mug", 8.49, "USD", "https://s.test/2"}}},
        {"an AggregateOffer gives its lowPrice",
         Page(Script(R"({"@type":"Product","name":"Lamp","url":"/lamp",
                "offers":{"@type":"AggregateOffer","lowPrice":"$1,299.00","highPrice":"$1,499.00","offerCount":3}})")),
         {{"Lamp", 1299.0, "USD", "/lamp"}}},
        {"several Offers give the lowest",
         Page(Script(R"({"@type":"Product","name":"Desk","offers":[
                {"@type":"Offer","price":"120","url":"/a"},{"@type":"Offer","price":"99.90","url":"/b"},
                {"@type":"Offer","price":"nothing","url":"/c"}]})")),
         {{"Desk", 99.9, "", "/b"}}},
        {"several blocks, an @graph and types given as lists or addresses",
         Page(Script(R"({"@type":"WebSite","name":"Shop"})")
              + Script(R"({"@graph":[{"@type":["Product","Thing"],"name":"Chair","url":"/c",
                   "offers":{"price":"1.299,00 €"}}]})")
              + Script(R"([{"@type":"https://schema.org/Product","name":"Stool","url":{"@id":"/s"},
                   "offers":{"priceSpecification":{"price":15,"priceCurrency":"GBP"}}}])",
                       "APPLICATION/LD+JSON")),
         {{"Chair", 1299.0, "EUR", "/c"}, {"Stool", 15.0, "GBP", "/s"}}},
        {"microdata when there is no JSON-LD",
         Page(R"(<div itemscope itemtype="https://schema.org/Product"><a itemprop="url" href="/m1">
                <span itemprop="name"> Tea pot </span></a><div itemprop="brand" itemscope
                itemtype="https://schema.org/Brand"><span itemprop="name">Acme</span></div>
                <div itemprop="offers" itemscope itemtype="https://schema.org/Offer">
                <meta itemprop="priceCurrency" content="EUR"><span itemprop="price" content="19.90">19,90 €</span>
                </div></div>
              <div itemscope itemtype="http://schema.org/Product"><span itemprop="name">Cup</span>
                <span itemprop="price">£4.50</span><link itemprop="url" href="/m2"></div>)"),
         {{"Tea pot", 19.9, "EUR", "/m1"}, {"Cup", 4.5, "GBP", "/m2"}}},
        {"other scripts and JSON-LD without products give nothing",
         Page(Script(R"({"@type":"Product","name":"Hidden"})", "text/javascript")
              + Script(R"({"@type":"Organization","name":"Shop"})")),
         {}},
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.what);
        const StructuredPage read = StructuredOffers::Read(c.page);
        ASSERT_EQ(read.offers.size(), c.offers.size());
        for (std::size_t i = 0; i < c.offers.size(); ++i) {
            EXPECT_EQ(read.offers[i].name, c.offers[i].name);
            EXPECT_DOUBLE_EQ(read.offers[i].price, c.offers[i].price);
            EXPECT_EQ(read.offers[i].currency, c.offers[i].currency);
            EXPECT_EQ(read.offers[i].link, c.offers[i].link);
        }
    }
}

TEST(StructuredOffers, HostileBlocksAreSkippedWithTheReasonAndTheRestIsRead)
{
    const std::string good = Script(R"({"@type":"Product","name":"Kept","url":"/k","offers":{"price":3}})");
    const std::string deep = std::string(5000, '[') + std::string(5000, ']');
    const struct
    {
        const char* what;
        std::string block;
        std::string reason; // empty: read, but gives no usable offer
    } cases[] = {
        {"deep nesting", Script(deep), "nested deeper than 48 levels"},
        {"deep nesting inside strings is no nesting",
         Script(R"({"@type":"Thing","x":")" + deep + R"("})"),
         ""},
        {"broken JSON", Script(R"({"@type":"Product","name":)"), "not valid JSON"},
        {"a number beyond any price",
         Script(R"({"@type":"Product","name":"Huge","url":"/h","offers":{"price":1e300}})"),
         ""},
        {"a number beyond a double",
         Script(R"({"@type":"Product","name":"Huge","offers":{"price":1e400}})"),
         "not valid JSON"},
        {"wrong types", Script(R"({"@type":"Product","name":17,"url":[1],"offers":"cheap"})"), ""},
        {"a script that never ends", "<script type=\"application/ld+json\">{\"@type\":", "not valid JSON"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const StructuredPage read = StructuredOffers::Read(Page(good + c.block));
        ASSERT_GE(read.offers.size(), 1u);
        EXPECT_EQ(read.offers[0].name, "Kept");
        for (std::size_t i = 1; i < read.offers.size(); ++i) {
            EXPECT_EQ(read.offers[i].price, 0.0) << "a hostile offer must not come out priced";
        }
        if (c.reason.empty()) {
            EXPECT_TRUE(read.skipped.empty());
        } else {
            ASSERT_EQ(read.skipped.size(), 1u);
            EXPECT_NE(read.skipped[0].second.find(c.reason), std::string::npos) << read.skipped[0].second;
        }
    }
}

TEST(StructuredOffers, ManyProductsStopAtTheBound)
{
    std::string list = R"({"@type":"ItemList","itemListElement":[)";
    for (std::size_t i = 0; i < StructuredOffers::kMaxOffers + 10; ++i) {
        list += std::string(i ? "," : "") + R"({"@type":"Product","name":"P","offers":{"price":1}})";
    }
    EXPECT_EQ(StructuredOffers::Read(Page(Script(list + "]}"))).offers.size(), StructuredOffers::kMaxOffers);
}

TEST(StructuredOffers, PricesAsShopsWriteThem)
{
    const struct
    {
        const char* text;
        std::optional<double> value;
        const char* currency;
    } cases[] = {
        {"19.99", 19.99, ""},
        {"$1,299.00", 1299.0, "USD"},
        {"1.299,00 \xE2\x82\xAC", 1299.0, "EUR"},
        {"\xC2\xA3"
         "4.5",
         4.5,
         "GBP"},
        {"EUR 5", 5.0, "EUR"},
        {"1,299", 1299.0, ""},
        {"1 299,95", 1299.95, ""},
        {"12,5", 12.5, ""},
        {"from 3.10 USD each", 3.1, "USD"},
        {"-5.00", std::nullopt, ""},
        {"free", std::nullopt, ""},
        {"0.00", std::nullopt, ""},
        {"99999999999999999999", std::nullopt, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string currency;
        const std::optional<double> value = StructuredPrice(c.text, currency);
        ASSERT_EQ(value.has_value(), c.value.has_value());
        if (value) {
            EXPECT_DOUBLE_EQ(*value, *c.value);
        }
        EXPECT_EQ(currency, c.currency);
    }
}

TEST(StructuredOffers, AStructuredAgentListsMatchingPricedOffersWithCompletedLinks)
{
    WebAgent agent;
    agent.siteName = "Data Shop";
    agent.siteAddress = "http://shop.test";
    agent.structuredData = "schema.org";
    const std::string page = Page(Script(R"({"@type":"ItemList","itemListElement":[
        {"@type":"Product","name":"Steel kettle &amp; lid","url":"/k1","offers":{"price":"30"}},
        {"@type":"Product","name":"Glass kettle","url":"https://other.test/k2","offers":{"price":"45"}},
        {"@type":"Product","name":"Toaster","url":"/t","offers":{"price":"25"}},
        {"@type":"Product","name":"Free kettle","url":"/f","offers":{"price":"0"}},
        {"@type":"Product","name":"Kettle without link","offers":{"price":"5"}}]})"));
    ScrapeTrace trace;
    ResultScraper scraper(page, agent, &trace);
    const std::optional<ResultList> list = scraper.CollectResults("kettle");
    ASSERT_TRUE(list);
    const std::vector<PriceResult> offers(list->begin(), list->end());
    ASSERT_EQ(offers.size(), 2u);
    EXPECT_EQ(offers[0].name, "Glass kettle");
    EXPECT_EQ(offers[0].link, "https://other.test/k2");
    EXPECT_EQ(offers[0].siteName, "Data Shop");
    EXPECT_EQ(offers[1].name, "Steel kettle & lid");
    EXPECT_EQ(offers[1].link, "http://shop.test/k1");
    ASSERT_EQ(trace.blocks.size(), 5u);
    EXPECT_EQ(trace.blocks[2].verdict, "dropped: no word of the search text in the name");
    EXPECT_EQ(trace.blocks[3].verdict, "dropped: no price above 0");
    EXPECT_EQ(trace.blocks[4].verdict, "dropped: no link");
    EXPECT_EQ(trace.blocks[0].source, "JSON-LD");
    // The trace keeps the texts as the data gave them.
    EXPECT_EQ(trace.blocks[0].fields[0].raw, "Steel kettle &amp; lid");
    EXPECT_EQ(trace.blocks[0].fields[1].raw, "/k1");
}

TEST(StructuredOffers, AStructuredAgentOnAPageWithoutDataGivesNoList)
{
    WebAgent agent;
    agent.siteName = "Data Shop";
    agent.structuredData = "schema.org";
    ScrapeTrace trace;
    const std::string page = Page("<ul><li>Kettle $5</li></ul>");
    EXPECT_FALSE(ResultScraper(page, agent, &trace).CollectResults("kettle"));
    EXPECT_EQ(trace.end, "no schema.org Product on the page: no list.");
}

} // namespace
} // namespace tallyhawk
