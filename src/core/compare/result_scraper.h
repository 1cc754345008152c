#pragma once

#include "core/compare/price_result.h"
#include "core/compare/result_list.h"
#include "core/compare/scrape_trace.h"
#include "core/compare/web_agent.h"

#include <concepts>
#include <cstddef>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace tallyhawk
{

// Cuts one fetched result page into offers with its agent's markers. The page is read once, front to
// back: a cursor that only moves forward finds each result block, and the per-offer markers are looked
// for inside the block alone. The page and the agent must outlive the scraper; the page is read up to
// its first zero byte. A stop request ends the scan within a moment, as if the page ended there: a
// hostile page and marker can make the searches slow, never unstoppable.
class ResultScraper
{
public:
    ResultScraper(std::string_view page,
                  const WebAgent& agent,
                  ScrapeTrace* trace = nullptr,
                  std::stop_token stop = {});
    // The scraper keeps a view of the page: a temporary page would be gone before the first block.
    template <typename Page>
    requires std::same_as<Page, std::string>
    ResultScraper(Page&& page, const WebAgent& agent, ScrapeTrace* trace = nullptr, std::stop_token stop = {})
    = delete;

    // The next block from the cursor: from the start of a StartResult match to the end of the EndResult
    // marker found from there (the marker's own length, wildcards counted as one byte each). None when
    // either marker is missing or the block would be one byte or less.
    std::optional<std::string> NextResultBlock();
    // The offer of the next block, cleaned, with its link completed. None when there is no block, or
    // the block has no name or no link: that ends the scan of the page.
    std::optional<PriceResult> NextResult();
    // The offers whose name holds a word of the search text and whose price is above 0, highest price
    // first. An agent that reads structured data takes its offers from the page's schema.org data, and
    // an offer there without a name or link is dropped alone. None when the agent has no SiteName or result
    // markers, its EndHeader is not on the page, or the page has no first offer, or a stop was requested.
    std::optional<ResultList> CollectResults(std::string_view searchText);

private:
    std::optional<ResultList> CollectStructured(std::string_view searchText);
    std::optional<std::string_view> NextBlockView();
    std::optional<std::string> Cut(std::string_view block,
                                   std::string_view pair,
                                   std::optional<std::string_view> start,
                                   std::optional<std::string_view> end,
                                   ScrapedBlock* traced);
    std::string CompleteLink(std::string link) const;

    std::string_view page_;
    std::size_t cursor_ = 0;
    const WebAgent& agent_;
    std::optional<std::string> startResult_;
    std::optional<std::string> endResult_;
    ScrapeTrace* trace_;
    std::stop_token stop_;
};

} // namespace tallyhawk
