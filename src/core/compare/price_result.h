#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tallyhawk
{

// One offer cut out of a store's result page. Texts are bytes in the page's own encoding. An empty
// `name`, `link` or `siteName` is stored as an absent text.
struct PriceResult
{
    std::int32_t id = 0; // 0 when scraped; 1, 2, 3 ... once merged into a search's results
    std::string name;
    std::optional<std::string> text; // the description, when the agent cuts one
    std::string link;
    std::string siteName; // the agent's SiteName
    double price = 0.0; // 0.0 when no price was found
    std::uint16_t flags = 0; // kept with the offer, not interpreted
};

} // namespace tallyhawk
