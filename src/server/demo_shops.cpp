#include "server/demo_shops.h"

#include "server/site_pages.h"

#include <cctype>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

namespace tallyhawk::server
{

namespace
{

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

bool HoldsEveryWord(std::string_view name, std::string_view query)
{
    const std::string haystack = Lower(name);
    std::istringstream words{std::string(query)};
    std::string word;
    while (words >> word) {
        if (haystack.find(Lower(word)) == std::string::npos) {
            return false;
        }
    }
    return true;
}

std::string Price(int cents)
{
    char text[32];
    std::snprintf(text, sizeof text, "$%d.%02d", cents / 100, cents % 100);
    return text;
}

} // namespace

DemoShops::DemoShops()
    : shops_{
        {"copperline",
         "Copperline Electronics",
         1,
         {{"Aurora 43 inch LED TV", "Full HD, three HDMI inputs", 28999},
          {"Aurora 55 inch 4K TV", "HDR, smart apps built in", 49999},
          {"Pocket Bluetooth speaker", "12 hours of play", 3499},
          {"Noise-cancelling headphones", "Over-ear, foldable", 12999},
          {"USB-C charger 65W", "Two ports", 2999}},
         false},
        {"harbor",
         "Harbor Outfitters",
         2,
         {{"Two-person dome tent", "Sets up in five minutes", 11999},
          {"Trail running shoes", "Sizes 6 to 13", 8999},
          {"Insulated water bottle", "Keeps cold for a day", 2499},
          {"Down sleeping bag", "Rated to -5 C", 15999}},
         false},
        {"pinecrest",
         "Pinecrest Books",
         3,
         {{"The Lighthouse Keeper's Garden", "Paperback novel", 1499},
          {"Weeknight Soups", "Hardcover cookbook", 2899},
          {"A Field Guide to Garden Birds", "Illustrated", 1999},
          {"Starter Guide to Home Electronics", "Paperback", 2299}},
         true},
    }
{ }

std::string DemoShops::ResultPage(std::string_view shopKey, std::string_view query) const
{
    std::string page = "<!DOCTYPE html>\n<html><body>\n<div id=\"top\">Search results</div>\n<ul>\n";
    nlohmann::json products = nlohmann::json::array();
    for (const Shop& shop : shops_) {
        if (shop.key != shopKey) {
            continue;
        }
        int index = 0;
        for (const Product& product : shop.products) {
            ++index;
            if (!HoldsEveryWord(product.name, query)) {
                continue;
            }
            const std::string link = "/shop/" + shop.key + "/item/" + std::to_string(index);
            if (shop.productData) {
                products.push_back(
                    {{"@type", "ListItem"},
                     {"position", products.size() + 1},
                     {"item",
                      {{"@type", "Product"},
                       {"name", product.name},
                       {"description", product.note},
                       {"url", link},
                       {"offers",
                        {{"@type", "Offer"}, {"price", Price(product.cents)}, {"priceCurrency", "USD"}}}}}});
                page += "<li>" + SitePages::Escape(product.name) + " " + Price(product.cents) + "</li>\n";
                continue;
            }
            page += "<li class=\"hit\"><span class=\"name\">" + SitePages::Escape(product.name)
                + "</span><span class=\"note\">" + SitePages::Escape(product.note)
                + "</span><a class=\"go\" href=\"" + link + "\">view</a><span class=\"price\">"
                + Price(product.cents) + "</span></li>\n";
        }
    }
    page += "</ul>\n";
    if (!products.empty()) {
        // "</" inside a script would end it early: JSON allows writing the slash escaped.
        std::string data = nlohmann::json{
            {"@context", "https://schema.org"},
            {"@type", "ItemList"},
            {"itemListElement",
             products}}.dump();
        for (std::size_t at = data.find("</"); at != std::string::npos; at = data.find("</", at + 3)) {
            data.replace(at, 2, "<\\/");
        }
        page += "<script type=\"application/ld+json\">" + data + "</script>\n";
    }
    return page + "</body></html>\n";
}

std::string DemoShops::AgentConfiguration(std::string_view baseUrl) const
{
    const char* categories[] = {"Electronics", "Outdoor", "Books"};
    std::string text = "<?xml version=\"1.0\"?>\r\n<WebSpider>\r\n";
    for (int id = 1; id <= 3; ++id) {
        text += "<AgentType><TypeId>" + std::to_string(id) + "</TypeId><TypeName>" + categories[id - 1]
            + "</TypeName></AgentType>\r\n";
    }
    int siteId = 0;
    for (const Shop& shop : shops_) {
        text += "<WebAgent><SiteId>" + std::to_string(++siteId) + "</SiteId><SiteType>"
            + std::to_string(shop.categoryId) + "</SiteType><SiteName>" + shop.name
            + "</SiteName><SiteAddress>" + std::string(baseUrl) + "</SiteAddress><FormatString>"
            + std::string(baseUrl) + "/shop/" + shop.key + "/search?q= KEYWORD </FormatString>";
        // The product data shop's agent keeps markers too, which its page never matches: a program that
        // does not know StructuredData then loads the agent and finds nothing, instead of refusing the
        // block (and, as the last one, the whole file).
        if (shop.productData) {
            text += "<StructuredData>schema.org</StructuredData>";
        }
        text += "<EndHeader><div id=\"top\"></EndHeader>"
                "<StartResult><li class=\"hit\"></StartResult><EndResult></li></EndResult>"
                "<StartItem><span class=\"name\"></StartItem><EndItem></span></EndItem>"
                "<StartText><span class=\"note\"></StartText><EndText></span></EndText>"
                "<StartURL><a class=\"go\" href=\"</StartURL><EndURL>\"</EndURL>"
                "<StartPrice><span class=\"price\"></StartPrice><EndPrice></span></EndPrice></WebAgent>\r\n";
    }
    return text + "</WebSpider>\r\n";
}

} // namespace tallyhawk::server
