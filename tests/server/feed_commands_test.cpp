#include "feed_test_host.h"
#include "server/server_commands.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace tallyhawk::server
{
namespace
{

const std::string kFeed
    = "<rss version=\"2.0\"><channel><title>Shop deals</title>"
      "<item><guid>1</guid><title>One</title><link>https://shop.test/1</link></item>"
      "<item><guid>2</guid><title>Two &amp; more</title><link>https://shop.test/2</link></item>"
      "<item><guid>3</guid><title>Three</title></item>"
      "<item><guid>4</guid><title>Four</title></item></channel></rss>";

class FeedCommandsTest : public ::testing::Test
{
protected:
    // Runs `feeds ARGS --db FILE` in process: its exit status, with what it printed in `out`.
    int Feeds(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--db", dir.File("service.db")});
        std::ostringstream printed;
        std::streambuf* kept = std::cout.rdbuf(printed.rdbuf());
        const int status = RunFeeds(args);
        std::cout.rdbuf(kept);
        out = printed.str();
        return status;
    }

    test::TempDir dir;
    test::FeedTestHost host;
    std::string out;
};

TEST_F(FeedCommandsTest, AddShowsWhatItFoundBeforeSavingAndListShowsTheFeed)
{
    host.Serve("/feed", kFeed);
    ASSERT_EQ(Feeds({"add", host.Url("/feed"), "--kind", "deal", "--every", "30"}), 0) << out;
    EXPECT_EQ(
        out, "Format: RSS 2.0\nTitle: Shop deals\nEntries: 4\n  One\n  Two & more\n  Three\nAdded feed 1.\n");
    ASSERT_EQ(Feeds({"list", "--json"}), 0);
    const nlohmann::json list = nlohmann::json::parse(out);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["url"], host.Url("/feed"));
    EXPECT_EQ(list[0]["kind"], "deal");
    EXPECT_EQ(list[0]["every"], 30);
    EXPECT_EQ(list[0]["title"], "Shop deals");
    EXPECT_EQ(list[0]["taken"], 0);
}

TEST_F(FeedCommandsTest, AFeedThatCannotBeReadOrAnAddressThatIsNotWebIsNotSaved)
{
    host.Serve("/page", "<html><body>hello</body></html>");
    const std::vector<std::vector<std::string>> refused = {
        {"add", host.Url("/missing"), "--kind", "deal"},
        {"add", host.Url("/page"), "--kind", "deal"},
        {"add", "file:///etc/passwd", "--kind", "deal"},
        {"add", host.Url("/page"), "--kind", "deal", "--every", "4"},
        {"add", host.Url("/page"), "--kind", "sale"},
    };
    for (const std::vector<std::string>& args : refused) {
        EXPECT_NE(Feeds(args), 0) << args[1];
    }
    ASSERT_EQ(Feeds({"list"}), 0);
    EXPECT_EQ(out, "No feeds.\n");
}

TEST_F(FeedCommandsTest, PollPrintsWhatWasTakenAndRemoveForgetsTheFeed)
{
    host.Serve("/feed", kFeed);
    ASSERT_EQ(Feeds({"add", host.Url("/feed"), "--kind", "coupon", "--store", "Shop"}), 0) << out;
    ASSERT_EQ(Feeds({"poll", "1"}), 0);
    EXPECT_EQ(out,
              "Feed 1: 4 new entries\n  coupon 1: Four\n  coupon 2: Three\n  coupon 3: Two & more\n"
              "  coupon 4: One\n");
    ASSERT_EQ(Feeds({"poll"}), 0);
    EXPECT_EQ(out, "Feed 1: not modified\n");
    ASSERT_EQ(Feeds({"list"}), 0);
    EXPECT_NE(out.find("(not modified)"), std::string::npos) << out;
    EXPECT_NE(out.find("taken: 4"), std::string::npos) << out;
    EXPECT_EQ(Feeds({"remove", "1"}), 0);
    EXPECT_NE(Feeds({"remove", "1"}), 0);
    EXPECT_NE(Feeds({"poll", "1"}), 0);
}

} // namespace
} // namespace tallyhawk::server
