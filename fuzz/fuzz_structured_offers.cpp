// Any page through the schema.org product data reader and a structured-data agent: no crash, no
// sanitizer report, no hang, bounded output, and every listed offer named, linked and priced above 0.
#include "core/compare/result_scraper.h"
#include "core/compare/structured_offers.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string page(reinterpret_cast<const char*>(data), size);
    const tallyhawk::StructuredPage read = tallyhawk::StructuredOffers::Read(page);
    if (read.offers.size() > tallyhawk::StructuredOffers::kMaxOffers) {
        std::abort();
    }
    for (const tallyhawk::StructuredOffer& offer : read.offers) {
        if (offer.price < 0.0 || offer.price >= 1e12) {
            std::abort();
        }
    }
    tallyhawk::WebAgent agent;
    agent.siteName = "Site";
    agent.siteAddress = "http://site.test/";
    agent.structuredData = "schema.org";
    tallyhawk::ScrapeTrace trace;
    const std::optional<tallyhawk::ResultList> list
        = tallyhawk::ResultScraper(page, agent, &trace).CollectResults("a b");
    if (list) {
        for (const tallyhawk::PriceResult& offer : *list) {
            if (offer.name.empty() || offer.link.empty() || !(offer.price > 0.0)) {
                std::abort();
            }
        }
    }
    return 0;
}
