#pragma once

#include <cstddef>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk
{

// One offer read from the schema.org product data a result page embeds, before any search filter.
struct StructuredOffer
{
    std::size_t pageOffset = 0; // where its JSON-LD block or microdata item starts
    std::string source; // "JSON-LD" or "microdata"
    std::optional<std::string> name;
    std::optional<std::string> description;
    std::optional<std::string> link; // as the page gives it, not yet completed
    std::optional<std::string> priceText; // as the page gives it: a number or a text
    double price = 0.0; // 0.0 when no price could be read
    std::string currency; // priceCurrency, or what the price's sign says; empty when unknown
};

// What the reader found on a page: the offers, and the blocks it could not use, with why.
struct StructuredPage
{
    std::vector<StructuredOffer> offers;
    std::vector<std::pair<std::size_t, std::string>> skipped; // page offset, reason
};

// Reads the schema.org Product data of a result page: JSON-LD blocks (<script
// type="application/ld+json">, a Product, an ItemList of Products, an @graph, or arrays of them) and
// microdata items (itemtype ".../Product"). A Product gives one offer: its Offer's price, or an
// AggregateOffer's lowPrice, or the lowest of several Offers. Everything is bounded: a block nested
// deeper than kMaxDepth is skipped, and reading stops after kMaxOffers offers or on a stop request.
class StructuredOffers
{
public:
    static constexpr int kMaxDepth = 48;
    static constexpr std::size_t kMaxOffers = 2000;
    static constexpr std::size_t kMaxBlocks = 200;

    static StructuredPage Read(std::string_view page, std::stop_token stop = {});
};

// A price as shops write it in their data: 19.99, "19.99", "$1,299.00", "1.299,00 €", "EUR 5".
// The decimal separator is the last "." or "," when one or two digits follow it; the other marks
// separate thousands. No digits, a negative price or one beyond any real price give nothing. Writes the
// currency its sign names into `currency` when that is empty.
std::optional<double> StructuredPrice(std::string_view text, std::string& currency);

} // namespace tallyhawk
