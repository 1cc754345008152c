#include "core/compare/result_scraper.h"

#include "core/compare/scrape_rules.h"
#include "core/compare/structured_offers.h"
#include "core/compare/wildcard_find.h"
#include "core/store/word_rules.h"

namespace tallyhawk
{
namespace
{

std::optional<std::string> OwnedMarker(const std::optional<std::string_view>& marker)
{
    return marker ? std::optional<std::string>(*marker) : std::nullopt;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// The price of an offer: the promotional price when it reads above 0, else the regular one.
double
OfferPrice(std::optional<std::string>& regular, std::optional<std::string>& promo, ScrapedBlock* traced)
{
    double price = 0.0;
    if (promo) {
        price = PriceValue(CleanPrice(*promo));
        if (traced) {
            traced->cleanedPrice = *promo;
        }
    }
    if (regular && price == 0.0) {
        price = PriceValue(CleanPrice(*regular));
        if (traced) {
            traced->cleanedPrice = *regular;
        }
    }
    return price;
}

} // namespace

ResultScraper::ResultScraper(std::string_view page,
                             const WebAgent& agent,
                             ScrapeTrace* trace,
                             std::stop_token stop)
    : page_(page.substr(0, page.find('\0')))
    , agent_(agent)
    , startResult_(OwnedMarker(agent.startResult))
    , endResult_(OwnedMarker(agent.endResult))
    , trace_(trace)
    , stop_(std::move(stop))
{ }

std::optional<std::string_view> ResultScraper::NextBlockView()
{
    if (!startResult_ || !endResult_) {
        return std::nullopt;
    }
    const std::string_view rest = page_.substr(cursor_);
    std::optional<WildcardMatch> start = WildcardFind(rest, *startResult_, stop_);
    if (!start) {
        return std::nullopt;
    }
    // The end marker is looked for from where the start marker's match begins, not after it.
    std::optional<WildcardMatch> end = WildcardFind(rest.substr(start->position), *endResult_, stop_);
    if (!end) {
        return std::nullopt;
    }
    const std::size_t length = std::min(end->position + endResult_->size(), rest.size() - start->position);
    if (length <= 1) {
        return std::nullopt;
    }
    const std::size_t blockStart = cursor_ + start->position;
    cursor_ = blockStart + length;
    return page_.substr(blockStart, length);
}

std::optional<std::string> ResultScraper::NextResultBlock()
{
    std::optional<std::string_view> block = NextBlockView();
    return block ? std::optional<std::string>(*block) : std::nullopt;
}

std::optional<std::string> ResultScraper::Cut(std::string_view block,
                                              std::string_view pair,
                                              std::optional<std::string_view> start,
                                              std::optional<std::string_view> end,
                                              ScrapedBlock* traced)
{
    std::optional<TextRange> range = FindBetween(block, start, end, stop_);
    std::optional<std::string> value;
    if (range) {
        value = std::string(block.substr(range->offset, range->length));
    }
    if (traced) {
        ScrapedField field{pair, std::nullopt, value};
        if (range) {
            field.pageOffset = static_cast<std::size_t>(block.data() - page_.data()) + range->offset;
        }
        traced->fields.push_back(std::move(field));
    }
    return value;
}

std::string ResultScraper::CompleteLink(std::string link) const
{
    // Absolute links stay as they are, https ones included.
    for (std::string_view scheme : {"http://", "https://", "ftp://", "mailto:"}) {
        if (StartsWith(link, scheme)) {
            return link;
        }
    }
    if (StartsWith(link, "www")) {
        return "http://" + link;
    }
    // Plain concatenation: the agent's address carries whatever separator its links need.
    return std::string(agent_.siteAddress.value_or("")) + link;
}

std::optional<PriceResult> ResultScraper::NextResult()
{
    std::optional<std::string_view> block = NextBlockView();
    if (!block) {
        if (trace_) {
            trace_->end = "no further result block: StartResult or EndResult not found after offset "
                + std::to_string(cursor_) + ".";
        }
        return std::nullopt;
    }
    ScrapedBlock* traced = nullptr;
    if (trace_) {
        trace_->blocks.push_back({});
        traced = &trace_->blocks.back();
        traced->pageOffset = static_cast<std::size_t>(block->data() - page_.data());
        traced->length = block->size();
    }
    std::optional<std::string> name = Cut(*block, "Item", agent_.startItem, agent_.endItem, traced);
    std::optional<std::string> text = Cut(*block, "Text", agent_.startText, agent_.endText, traced);
    std::optional<std::string> link = Cut(*block, "URL", agent_.startUrl, agent_.endUrl, traced);
    std::optional<std::string> regular = Cut(*block, "Price", agent_.startPrice, agent_.endPrice, traced);
    std::optional<std::string> promo = Cut(*block, "Promo", agent_.startPromo, agent_.endPromo, traced);

    PriceResult result;
    result.price = OfferPrice(regular, promo, traced);
    if (!name || !link) {
        if (traced) {
            traced->verdict = !name ? "dropped: no name (Item markers)" : "dropped: no link (URL markers)";
            trace_->end = "a block without a name or link ends the scan of the page.";
        }
        return std::nullopt;
    }
    result.siteName = std::string(agent_.siteName.value_or(""));
    result.name = std::move(CleanDescription(*name));
    result.link = CompleteLink(std::move(CleanDescription(*link)));
    if (text) {
        result.text = std::move(CleanDescription(*text));
    }
    if (traced) {
        traced->complete = true;
        traced->result = result;
    }
    return result;
}

std::optional<ResultList> ResultScraper::CollectStructured(std::string_view searchText)
{
    StructuredPage data = StructuredOffers::Read(page_, stop_);
    if (trace_) {
        trace_->header = "structured data: " + std::to_string(data.offers.size()) + " schema.org offer"
            + (data.offers.size() == 1 ? "" : "s") + " on the page.";
        for (const auto& [offset, reason] : data.skipped) {
            trace_->header += " Skipped at offset " + std::to_string(offset) + ": " + reason + ".";
        }
    }
    if (stop_.stop_requested()) {
        if (trace_) {
            trace_->end = "stopped before the end of the page.";
        }
        return std::nullopt;
    }
    if (data.offers.empty()) {
        if (trace_) {
            trace_->end = "no schema.org Product on the page: no list.";
        }
        return std::nullopt;
    }
    ResultList list;
    for (StructuredOffer& offer : data.offers) {
        PriceResult result;
        result.price = offer.price;
        result.siteName = std::string(agent_.siteName.value_or(""));
        // The raw texts stay for the trace.
        if (offer.name) {
            result.name = *offer.name;
            CleanDescription(result.name);
        }
        if (offer.link) {
            std::string link = *offer.link;
            result.link = CompleteLink(std::move(CleanDescription(link)));
        }
        if (offer.description) {
            result.text = *offer.description;
            CleanDescription(*result.text);
        }
        const bool whole = !result.name.empty() && !result.link.empty();
        const bool matches = whole && MatchesAnyWord(result.name, searchText);
        const bool priced = result.price > 0.0;
        if (trace_) {
            ScrapedBlock traced;
            traced.pageOffset = offer.pageOffset;
            traced.source = offer.source;
            traced.fields = {{"Item", std::nullopt, offer.name},
                             {"URL", std::nullopt, offer.link},
                             {"Price", std::nullopt, offer.priceText}};
            traced.cleanedPrice = offer.priceText;
            traced.currency = offer.currency;
            traced.complete = whole;
            traced.result = result;
            traced.kept = matches && priced;
            traced.verdict = result.name.empty() ? "dropped: no name"
                : result.link.empty()            ? "dropped: no link"
                : !matches                       ? "dropped: no word of the search text in the name"
                : !priced                        ? "dropped: no price above 0"
                                                 : "kept";
            trace_->blocks.push_back(std::move(traced));
        }
        if (matches && priced) {
            list.Insert(std::move(result));
        }
    }
    if (trace_) {
        trace_->end = "end of the structured data.";
    }
    return list;
}

std::optional<ResultList> ResultScraper::CollectResults(std::string_view searchText)
{
    if (agent_.ReadsStructuredData()) {
        return CollectStructured(searchText);
    }
    if (!agent_.siteName || !startResult_ || !endResult_) {
        if (trace_) {
            trace_->end = "the agent has no SiteName, StartResult or EndResult.";
        }
        return std::nullopt;
    }
    if (agent_.endHeader) {
        const std::size_t header = page_.find(*agent_.endHeader);
        if (header == std::string_view::npos) {
            if (trace_) {
                trace_->header = "EndHeader not found on the page: no list.";
            }
            return std::nullopt;
        }
        cursor_ = header + agent_.endHeader->size();
        if (trace_) {
            trace_->header = "EndHeader found at offset " + std::to_string(header)
                + "; results read from offset " + std::to_string(cursor_) + ".";
        }
    } else if (trace_) {
        trace_->header = "no EndHeader: results read from the top of the page.";
    }
    std::optional<PriceResult> result = NextResult();
    if (!result || stop_.stop_requested()) {
        return std::nullopt;
    }
    ResultList list;
    for (; result; result = NextResult()) {
        const bool matches = MatchesAnyWord(result->name, searchText);
        const bool priced = result->price > 0.0;
        if (trace_) {
            ScrapedBlock& traced = trace_->blocks.back();
            traced.kept = matches && priced;
            traced.verdict = !matches ? "dropped: no word of the search text in the name"
                : !priced             ? "dropped: price 0"
                                      : "kept";
        }
        if (matches && priced) {
            list.Insert(std::move(*result));
        }
    }
    if (stop_.stop_requested()) {
        if (trace_) {
            trace_->end = "stopped before the end of the page.";
        }
        return std::nullopt;
    }
    return list;
}

} // namespace tallyhawk
