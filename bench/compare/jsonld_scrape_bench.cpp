// Scraping a result page that carries 500 offers as JSON-LD against parsing its JSON alone: what the
// structured-data agent adds to the parse (finding the block, the depth check, the walk, the cleaning,
// the search filter and the sorted list) should stay small beside it.
#include "bench_support.h"
#include "core/compare/result_scraper.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

namespace
{

constexpr int kOffers = 500;

std::string PriceText(int i)
{
    char text[32];
    std::snprintf(text, sizeof text, "$%d.%02d", 10 + i % 90, 10 + i % 89);
    return text;
}

// The JSON-LD a shop's search page embeds: an ItemList of Products with brand, image, rating and an
// Offer whose price is a text with its currency sign.
std::string ProductData()
{
    nlohmann::json items = nlohmann::json::array();
    for (int i = 1; i <= kOffers; ++i) {
        const std::string n = std::to_string(i);
        items.push_back(
            {{"@type", "ListItem"},
             {"position", i},
             {"item",
              {{"@type", "Product"},
               {"name", "Stainless steel kettle model " + n + (i % 5 == 0 ? "" : " with filter")},
               {"description", "1.7 litre, 2200 W, auto shut-off &amp; boil-dry protection, model " + n},
               {"image", "https://shop.example.com/img/" + n + ".jpg"},
               {"sku", "SKU-" + n},
               {"brand", {{"@type", "Brand"}, {"name", "Brand " + std::to_string(i % 17)}}},
               {"aggregateRating", {{"@type", "AggregateRating"}, {"ratingValue", 4.2}, {"reviewCount", i}}},
               {"offers",
                {{"@type", "Offer"},
                 {"url", "/p/" + n},
                 {"price", PriceText(i)},
                 {"priceCurrency", "USD"},
                 {"availability", "https://schema.org/InStock"}}}}}});
    }
    return nlohmann::json{
        {"@context", "https://schema.org"}, {"@type", "ItemList"}, {"itemListElement", items}}
        .dump(1);
}

const std::string& Json()
{
    static const std::string json = ProductData();
    return json;
}

const std::string& Page()
{
    static const std::string page = "<!DOCTYPE html><html><head><title>Search: kettle</title>"
                                    "<script src=\"/app.js\"></script><script type=\"application/ld+json\">"
        + Json() + "</script></head><body><div id=\"results\">" + std::string(20000, ' ')
        + "</div></body></html>";
    return page;
}

void BM_ParseJson(benchmark::State& state)
{
    for (auto _ : state) {
        nlohmann::json data = nlohmann::json::parse(Json());
        benchmark::DoNotOptimize(data.size());
    }
}
BENCHMARK(BM_ParseJson);

void BM_ScrapeJsonLd(benchmark::State& state)
{
    tallyhawk::WebAgent agent;
    agent.siteName = "Example Shop";
    agent.siteAddress = "https://shop.example.com";
    agent.structuredData = "schema.org";
    std::size_t offers = 0;
    for (auto _ : state) {
        std::optional<tallyhawk::ResultList> list
            = tallyhawk::ResultScraper(Page(), agent).CollectResults("kettle");
        offers = list ? list->Count() : 0;
        benchmark::DoNotOptimize(offers);
    }
    if (offers != kOffers) {
        state.SkipWithError("the page's offers were not all found");
    }
}
BENCHMARK(BM_ScrapeJsonLd);

} // namespace

int main(int argc, char** argv)
{
    return tallyhawk::bench::RunWithRatios(
        argc, argv, {{"jsonld_scrape_vs_parse", "BM_ScrapeJsonLd", "BM_ParseJson", 2.0}});
}
