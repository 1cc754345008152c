#include "server/demo_feed.h"

#include "server/site_pages.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

namespace tallyhawk::server
{

namespace
{

// The entries there are when the service starts, so the feed is never empty.
constexpr std::int64_t kFirstEntries = 3;

std::string Price(int cents)
{
    char text[32];
    std::snprintf(text, sizeof text, "$%d.%02d", cents / 100, cents % 100);
    return text;
}

std::string Date(std::int64_t seconds, const char* format)
{
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    ::gmtime_r(&time, &parts);
    char text[64];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}

std::string QueryWord(const std::string& name)
{
    std::string word = name.substr(0, name.find(' '));
    word.erase(std::remove_if(word.begin(),
                              word.end(),
                              [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }),
               word.end());
    return word;
}

} // namespace

std::vector<DemoFeed::Entry> DemoFeed::Entries(std::int64_t now) const
{
    const std::int64_t count = kFirstEntries + std::max<std::int64_t>(0, now - start_) / every_;
    std::vector<Entry> entries;
    const std::vector<DemoShops::Shop>& shops = shops_.shops();
    for (std::int64_t n = count - 1; n >= 0 && n >= count - kShown && !shops.empty(); --n) {
        const DemoShops::Shop& shop = shops[static_cast<std::size_t>(n) % shops.size()];
        const auto index = static_cast<std::size_t>(n) / shops.size();
        const DemoShops::Product& product = shop.products[index % shop.products.size()];
        const int off = 5 * static_cast<int>(n % 5 + 1);
        Entry entry;
        entry.number = n;
        entry.published = start_ + std::max<std::int64_t>(0, n - kFirstEntries + 1) * every_;
        entry.title = product.name + " " + Price(product.cents * (100 - off) / 100);
        entry.summary = std::to_string(off) + "% off at " + shop.name + ". " + product.note + ".";
        entry.link = "/shop/" + shop.key + "/search?q=" + QueryWord(product.name);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string DemoFeed::Atom(std::int64_t now) const
{
    const std::vector<Entry> entries = Entries(now);
    const char* format = "%Y-%m-%dT%H:%M:%SZ";
    std::string text
        = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
          "<feed xmlns=\"http://www.w3.org/2005/Atom\">\n"
          "<title>Tallyhawk demo deals</title>\n<id>urn:tallyhawk:demo-deals</id>\n<link href=\"/\"/>\n"
          "<updated>"
        + Date(entries.empty() ? start_ : entries.front().published, format) + "</updated>\n";
    for (const Entry& entry : entries) {
        text += "<entry><id>urn:tallyhawk:demo-deal:" + std::to_string(entry.number) + "</id><title>"
            + SitePages::Escape(entry.title) + "</title><link href=\"" + SitePages::Escape(entry.link)
            + "\"/><updated>" + Date(entry.published, format) + "</updated><summary>"
            + SitePages::Escape(entry.summary) + "</summary></entry>\n";
    }
    return text + "</feed>\n";
}

std::string DemoFeed::Rss(std::int64_t now) const
{
    const char* format = "%a, %d %b %Y %H:%M:%S GMT";
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel>\n"
                       "<title>Tallyhawk demo deals</title>\n<link>/</link>\n"
                       "<description>Deals on the demo shops</description>\n";
    for (const Entry& entry : Entries(now)) {
        text += "<item><guid isPermaLink=\"false\">urn:tallyhawk:demo-deal:" + std::to_string(entry.number)
            + "</guid><title>" + SitePages::Escape(entry.title) + "</title><link>"
            + SitePages::Escape(entry.link) + "</link><pubDate>" + Date(entry.published, format)
            + "</pubDate><description>" + SitePages::Escape(entry.summary) + "</description></item>\n";
    }
    return text + "</channel></rss>\n";
}

} // namespace tallyhawk::server
