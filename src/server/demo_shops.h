#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk::server
{

// The demo's three invented shops: a small catalogue each, a search result page in a markup of their
// own (one of them embeds its products as schema.org data instead), and the agent configuration whose
// agents read those pages on this server.
class DemoShops
{
public:
    struct Product
    {
        std::string name;
        std::string note;
        int cents = 0;
    };
    struct Shop
    {
        std::string key; // in the address: /shop/KEY/search?q=...
        std::string name;
        int categoryId = 0; // the agent category it serves
        std::vector<Product> products;
        // Its result page carries its products as schema.org JSON-LD, and its agent reads that data.
        bool productData = false;
    };

    DemoShops();

    // The result page of a search: every product whose name holds each word of the query, ignoring
    // case; an unknown shop gets an empty result list.
    std::string ResultPage(std::string_view shopKey, std::string_view query) const;
    // The agent configuration (categories and one agent per shop) for a site at `baseUrl`.
    std::string AgentConfiguration(std::string_view baseUrl) const;

    const std::vector<Shop>& shops() const { return shops_; }

private:
    std::vector<Shop> shops_;
};

} // namespace tallyhawk::server
