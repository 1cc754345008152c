#pragma once

#include "server/demo_shops.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace tallyhawk::server
{

// The demo site's sample feed: deals on the demo shops' products, one more every `every` while the
// service runs, served in Atom (kAtomPath) and in RSS 2.0 (kRssPath). Its links are relative, to the
// shops' search pages on the same site, so they lead somewhere whatever port the site has.
class DemoFeed
{
public:
    static constexpr const char* kAtomPath = "/demo/deals.atom";
    static constexpr const char* kRssPath = "/demo/deals.rss";
    static constexpr const char* kStore = "Demo Feed Deals";
    // The newest entries a document holds.
    static constexpr std::int64_t kShown = 20;

    DemoFeed(const DemoShops& shops, std::int64_t start, std::chrono::seconds every)
        : shops_(shops)
        , start_(start)
        , every_(every.count() > 0 ? every.count() : 1)
    { }

    std::string Atom(std::int64_t now) const;
    std::string Rss(std::int64_t now) const;

private:
    struct Entry
    {
        std::int64_t number = 0;
        std::int64_t published = 0;
        std::string title;
        std::string summary;
        std::string link;
    };
    // The entries at `now`, newest first.
    std::vector<Entry> Entries(std::int64_t now) const;

    const DemoShops& shops_;
    std::int64_t start_;
    std::int64_t every_;
};

} // namespace tallyhawk::server
