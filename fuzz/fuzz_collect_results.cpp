// Any page with any marker set through CollectResults: no crash, no sanitizer report, no hang, and the
// list it gives is ordered by price with every offer priced above 0 and named by a word of the search.
// The input is the thirteen markers and the page, separated by 0x01 bytes; an empty marker is absent.
#include "core/compare/result_scraper.h"
#include "core/compare/scrape_rules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace
{

constexpr std::string_view kSearchText = "a b<";

std::vector<std::string_view> Split(std::string_view input, std::size_t parts)
{
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < parts) {
        const std::size_t separator = input.find('\x01');
        if (separator == std::string_view::npos) {
            break;
        }
        fields.push_back(input.substr(0, separator));
        input.remove_prefix(separator + 1);
    }
    fields.push_back(input);
    return fields;
}

std::optional<std::string_view> Marker(const std::vector<std::string_view>& fields, std::size_t i)
{
    if (i + 1 >= fields.size() || fields[i].empty()) {
        return std::nullopt;
    }
    return fields[i];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> fields = Split(input, 14);
    tallyhawk::WebAgent agent;
    agent.siteName = "Site";
    agent.siteAddress = "http://site.test/";
    std::optional<std::string_view> tallyhawk::WebAgent::*const markers[]
        = {&tallyhawk::WebAgent::endHeader,
           &tallyhawk::WebAgent::startResult,
           &tallyhawk::WebAgent::endResult,
           &tallyhawk::WebAgent::startItem,
           &tallyhawk::WebAgent::endItem,
           &tallyhawk::WebAgent::startText,
           &tallyhawk::WebAgent::endText,
           &tallyhawk::WebAgent::startUrl,
           &tallyhawk::WebAgent::endUrl,
           &tallyhawk::WebAgent::startPrice,
           &tallyhawk::WebAgent::endPrice,
           &tallyhawk::WebAgent::startPromo,
           &tallyhawk::WebAgent::endPromo};
    for (std::size_t i = 0; i < std::size(markers); ++i) {
        agent.*markers[i] = Marker(fields, i);
    }
    const std::string_view page = fields.back();

    tallyhawk::ScrapeTrace trace;
    tallyhawk::ResultScraper scraper(page, agent, &trace);
    std::optional<tallyhawk::ResultList> list = scraper.CollectResults(kSearchText);
    if (!list) {
        return 0;
    }
    double previous = 0.0;
    bool first = true;
    for (const tallyhawk::PriceResult& offer : *list) {
        if (!(offer.price > 0.0) || (!first && offer.price > previous)
            || !tallyhawk::MatchesAnyWord(offer.name, kSearchText) || offer.siteName != "Site") {
            std::abort();
        }
        previous = offer.price;
        first = false;
    }
    for (const tallyhawk::ScrapedBlock& block : trace.blocks) {
        if (block.pageOffset + block.length > page.size()) {
            std::abort();
        }
    }
    return 0;
}
