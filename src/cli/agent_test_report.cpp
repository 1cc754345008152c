#include "cli/agent_test_report.h"

#include "cli/stop_on_interrupt.h"
#include "core/common/display_text.h"
#include "core/compare/result_scraper.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

namespace tallyhawk::cli
{
namespace
{

std::string Quoted(std::string_view text)
{
    return "\"" + TerminalText(text) + "\"";
}

std::string Price(double price)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", price);
    return text;
}

bool PairDefined(const WebAgent& agent, std::string_view pair)
{
    if (pair == "Item") {
        return agent.startItem && agent.endItem;
    }
    if (pair == "Text") {
        return agent.startText && agent.endText;
    }
    if (pair == "URL") {
        return agent.startUrl && agent.endUrl;
    }
    if (pair == "Price") {
        return agent.startPrice && agent.endPrice;
    }
    return agent.startPromo && agent.endPromo;
}

// An offer read from the page's product data: what the data said, field by field.
void PrintDataOffer(std::ostream& out, const ScrapedBlock& block, std::size_t number)
{
    out << "Offer " << number << " from the " << block.source << " at offset " << block.pageOffset << "\n";
    for (const ScrapedField& field : block.fields) {
        out << "  " << field.pair << std::string(6 - std::min<std::size_t>(field.pair.size(), 5), ' ')
            << (field.raw ? Quoted(*field.raw) : "(not in the data)") << "\n";
    }
    if (!block.currency.empty()) {
        out << "  currency " << Quoted(block.currency) << "\n";
    }
    out << "  -> " << block.verdict << "\n";
}

void PrintBlock(std::ostream& out, const WebAgent& agent, const ScrapedBlock& block, std::size_t number)
{
    if (!block.source.empty()) {
        PrintDataOffer(out, block, number);
        return;
    }
    out << "Block " << number << " at offset " << block.pageOffset << ", " << block.length << " bytes\n";
    for (const ScrapedField& field : block.fields) {
        out << "  " << field.pair << std::string(6 - std::min<std::size_t>(field.pair.size(), 5), ' ');
        if (!PairDefined(agent, field.pair)) {
            out << "(no marker pair defined)\n";
        } else if (!field.raw) {
            out << "(not found, or empty between the markers)\n";
        } else {
            out << "at " << *field.pageOffset << ": " << Quoted(*field.raw) << "\n";
        }
    }
    if (block.cleanedPrice) {
        out << "  price text cleaned to " << Quoted(*block.cleanedPrice) << "\n";
    }
    if (!block.complete) {
        out << "  -> " << block.verdict << "\n";
        return;
    }
    out << "  name " << Quoted(block.result.name) << ", link " << Quoted(block.result.link) << ", price "
        << Price(block.result.price);
    if (block.result.text) {
        out << ", text " << Quoted(*block.result.text);
    }
    out << "\n  -> " << (block.verdict.empty() ? "not reached" : block.verdict) << "\n";
}

nlohmann::ordered_json OffersJson(const std::optional<ResultList>& list)
{
    if (!list) {
        return {{"offers", nullptr}};
    }
    nlohmann::ordered_json offers = nlohmann::ordered_json::array();
    for (const PriceResult& offer : *list) {
        offers.push_back({{"name", DisplayText(offer.name)},
                          {"text", offer.text ? nlohmann::ordered_json(DisplayText(*offer.text)) : nullptr},
                          {"link", DisplayText(offer.link)},
                          {"siteName", DisplayText(offer.siteName)},
                          {"price", offer.price}});
    }
    return {{"offers", std::move(offers)}};
}

} // namespace

int ReportAgentTest(CliContext& ctx,
                    const WebAgent& agent,
                    const std::string& page,
                    const std::string& pageName,
                    const std::string& searchText,
                    bool json)
{
    ScrapeTrace trace;
    StopOnInterrupt interrupt;
    ResultScraper scraper(page, agent, &trace, interrupt.flag());
    const std::optional<ResultList> list = scraper.CollectResults(searchText);
    if (interrupt.interrupted()) {
        return Failure(ctx, "The test of agent " + std::to_string(agent.siteId) + " was stopped.");
    }
    if (json) {
        ctx.out << OffersJson(list).dump(2) << "\n";
        return kExitOk;
    }
    std::ostream& out = ctx.out;
    out << "Agent " << agent.siteId << " " << Quoted(agent.siteName.value_or("")) << " on "
        << TerminalText(pageName) << " (" << page.size() << " bytes), search text " << Quoted(searchText)
        << "\n";
    if (!trace.header.empty()) {
        out << "Header: " << trace.header << "\n";
    }
    for (std::size_t i = 0; i < trace.blocks.size(); ++i) {
        PrintBlock(out, agent, trace.blocks[i], i + 1);
    }
    if (!trace.end.empty()) {
        out << "End: " << trace.end << "\n";
    }
    if (!list) {
        out << "No result list: the search run reports 0 results for this agent.\n";
        return kExitOk;
    }
    out << list->Count() << (list->Count() == 1 ? " offer" : " offers") << " kept, highest price first:\n";
    for (const PriceResult& offer : *list) {
        out << "  " << Price(offer.price) << "\t" << TerminalText(offer.name) << "\n      "
            << TerminalText(offer.link) << "\n";
    }
    return kExitOk;
}

} // namespace tallyhawk::cli
