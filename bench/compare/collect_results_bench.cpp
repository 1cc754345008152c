// Scraping a full result page against finding each of its agent's markers across the page once.
#include "bench_support.h"
#include "core/compare/result_scraper.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

constexpr std::size_t kPageSize = 320000;
constexpr int kBlocks = 500;

// An agent shaped like the service's, with wildcards in its block and item markers.
const tallyhawk::WebAgent& Agent()
{
    static tallyhawk::WebAgent agent;
    static bool made = false;
    if (!made) {
        agent.siteName = "Store";
        agent.siteAddress = "http://www.store.example.com";
        agent.endHeader = "<table id=\"results\">";
        agent.startResult = "<tr class=\"result\"*>";
        agent.endResult = "</tr>";
        agent.startItem = "<td class=\"name\"><a*>";
        agent.endItem = "</a>";
        agent.startText = "<td class=\"desc\">";
        agent.endText = "</td>";
        agent.startUrl = "<a href=\"";
        agent.endUrl = "\"";
        agent.startPrice = "<span class=\"price\">";
        agent.endPrice = "</span>";
        agent.startPromo = "<span class=\"sale\">";
        agent.endPromo = "</span>";
        made = true;
    }
    return agent;
}

std::string MakePage()
{
    std::string page = "<html><head><title>Search results</title></head><body><div class=\"nav\">...</div>\n"
                       "<table id=\"results\">\n";
    const std::size_t blockSize = (kPageSize - page.size() - 32) / kBlocks;
    for (int i = 0; i < kBlocks; ++i) {
        const std::string n = std::to_string(i);
        std::string block = "<tr class=\"result\" id=\"r" + n + "\"><td class=\"name\"><a href=\"/item/" + n
            + "?ref=search\" title=\"Red shoes " + n + "\">Red shoes model " + n
            + "</a></td><td class=\"desc\">Leather, &amp; rubber sole<br>sizes 5&nbsp;to 12</td>"
              "<td><span class=\"price\">$1,"
            + std::to_string(100 + i % 900) + ".99</span><span class=\"sale\">$"
            + std::to_string(50 + i % 400) + ".00</span></td><td class=\"ship\">";
        // Filler markup between the fields, as store pages carry.
        while (block.size() + 5 + 14 < blockSize) {
            block += "<i>fast shipping</i> ";
        }
        block += "</td></tr>\n";
        page += block;
    }
    page += "</table></body></html>\n";
    page.resize(kPageSize, ' ');
    return page;
}

const std::string& Page()
{
    static const std::string page = MakePage();
    return page;
}

std::vector<std::string> MarkerPrefixes()
{
    const tallyhawk::WebAgent& agent = Agent();
    std::vector<std::string> prefixes;
    for (const auto& marker : {agent.endHeader,
                               agent.startResult,
                               agent.endResult,
                               agent.startItem,
                               agent.endItem,
                               agent.startText,
                               agent.endText,
                               agent.startUrl,
                               agent.endUrl,
                               agent.startPrice,
                               agent.endPrice,
                               agent.startPromo,
                               agent.endPromo}) {
        prefixes.emplace_back(marker->substr(0, marker->find_first_of("?*")));
    }
    return prefixes;
}

// The baseline: every marker looked for across the whole page with memmem, once each.
void BM_MemmemPerMarker(benchmark::State& state)
{
    const std::string& page = Page();
    const std::vector<std::string> prefixes = MarkerPrefixes();
    std::size_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (const std::string& prefix : prefixes) {
            const char* at = page.data();
            const char* end = page.data() + page.size();
            while (const void* hit
                   = ::memmem(at, static_cast<std::size_t>(end - at), prefix.data(), prefix.size())) {
                ++found;
                at = static_cast<const char*>(hit) + 1;
            }
        }
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_MemmemPerMarker);

void BM_CollectResults(benchmark::State& state)
{
    const std::string& page = Page();
    std::size_t offers = 0;
    for (auto _ : state) {
        tallyhawk::ResultScraper scraper(page, Agent());
        std::optional<tallyhawk::ResultList> list = scraper.CollectResults("red shoes");
        offers = list ? list->Count() : 0;
        benchmark::DoNotOptimize(offers);
    }
    if (offers != kBlocks) {
        state.SkipWithError("the page did not give one offer per block");
    }
    state.counters["offers"] = static_cast<double>(offers);
}
BENCHMARK(BM_CollectResults);

} // namespace

int main(int argc, char** argv)
{
    return tallyhawk::bench::RunWithRatios(
        argc,
        argv,
        {{"collect_results_vs_memmem_per_marker", "BM_CollectResults", "BM_MemmemPerMarker", 6.0}});
}
