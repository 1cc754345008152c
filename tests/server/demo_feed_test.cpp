#include "server/demo_feed.h"
#include "server/demo_shops.h"
#include "server/feeds/feed_item_texts.h"
#include "server/feeds/feed_parser.h"

#include <gtest/gtest.h>

namespace tallyhawk::server
{
namespace
{

constexpr std::int64_t kStart = 1'800'000'000;

TEST(DemoFeed, GrowsWhileTheServiceRunsAndReadsTheSameInAtomAndRss)
{
    DemoShops shops;
    DemoFeed feed(shops, kStart, std::chrono::seconds(10));
    const std::string url = "http://127.0.0.1:8080/demo/deals.atom";
    const ParsedFeed atomAtStart = FeedParser::Parse(feed.Atom(kStart), url);
    const ParsedFeed atom = FeedParser::Parse(feed.Atom(kStart + 25), url);
    const ParsedFeed rss = FeedParser::Parse(feed.Rss(kStart + 25), url);
    ASSERT_EQ(atomAtStart.status, FeedStatus::Ok) << atomAtStart.problem;
    ASSERT_EQ(atom.status, FeedStatus::Ok) << atom.problem;
    ASSERT_EQ(rss.status, FeedStatus::Ok) << rss.problem;
    EXPECT_EQ(atomAtStart.entries.size(), 3u);
    ASSERT_EQ(atom.entries.size(), 5u);
    ASSERT_EQ(rss.entries.size(), 5u);
    // An entry keeps its key as the feed grows, so it is taken once.
    EXPECT_EQ(FeedItemTexts::Key(atom.entries.back()), FeedItemTexts::Key(atomAtStart.entries.back()));
    for (std::size_t i = 0; i < atom.entries.size(); ++i) {
        EXPECT_EQ(atom.entries[i].title.text, rss.entries[i].title.text);
        EXPECT_EQ(atom.entries[i].link, rss.entries[i].link);
        EXPECT_EQ(atom.entries[i].link.rfind("http://127.0.0.1:8080/shop/", 0), 0u) << atom.entries[i].link;
        EXPECT_FALSE(FeedItemTexts::From(atom.entries[i]).extra.empty());
    }
    EXPECT_EQ(FeedParser::Parse(feed.Atom(kStart + 100000), url).entries.size(),
              static_cast<std::size_t>(DemoFeed::kShown));
}

} // namespace
} // namespace tallyhawk::server
