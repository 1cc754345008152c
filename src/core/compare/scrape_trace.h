#pragma once

#include "core/compare/price_result.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk
{

// What one marker pair cut out of a result block: where (an offset in the page) and the raw text.
struct ScrapedField
{
    std::string_view pair; // "Item", "Text", "URL", "Price", "Promo"
    std::optional<std::size_t> pageOffset;
    std::optional<std::string> raw;
};

// One result block and what became of it.
struct ScrapedBlock
{
    std::size_t pageOffset = 0;
    std::size_t length = 0; // 0 for an offer read from structured data
    std::string source; // "JSON-LD" or "microdata" for an offer read from structured data
    std::string currency; // the offer's currency, when its data names one
    std::vector<ScrapedField> fields;
    std::optional<std::string> cleanedPrice; // the price text that was read, after cleaning
    bool complete = false; // the block had a name and a link, so `result` holds the offer
    PriceResult result; // cleaned, as it would be listed
    bool kept = false;
    std::string verdict; // why it was kept or dropped
};

// A step-by-step account of CollectResults, for whoever writes an agent: the header skip, each block,
// and how the scan ended.
struct ScrapeTrace
{
    std::string header; // what the header skip did
    std::vector<ScrapedBlock> blocks;
    std::string end; // why the scan stopped
};

} // namespace tallyhawk
