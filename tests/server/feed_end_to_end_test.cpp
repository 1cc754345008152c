#include "core/common/site_addresses.h"
#include "feed_test_host.h"
#include "raw_http.h"
#include "support/cli_process.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

namespace tallyhawk::server
{
namespace
{

using namespace std::chrono_literals;
using test::ProgramRun;
using test::ServerProcess;

const std::string kFeed
    = "<?xml version=\"1.0\"?><feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Shop</title>"
      "<entry><id>urn:1</id><title type=\"html\">Cordless drill &lt;b&gt;$59.99&lt;/b&gt;</title>"
      "<link href=\"/deals/drill?ref=feed\"/><summary>Two batteries</summary></entry></feed>";

std::uint16_t PortOf(const std::string& url)
{
    return static_cast<std::uint16_t>(std::stoi(url.substr(url.rfind(':') + 1)));
}

class FeedEndToEndTest : public ::testing::Test
{
protected:
    ProgramRun Server(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--db", dir.File("service.db")});
        return test::RunProgram(TALLYHAWK_SERVER_PATH, args, dir.path());
    }
    ProgramRun Cli(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--data-dir", dir.File("data")});
        return test::RunProgram(TALLYHAWK_CLI_PATH, args, dir.path());
    }

    test::TempDir dir;
    test::FeedTestHost host;
};

TEST_F(FeedEndToEndTest, AFeedEntryReachesTheClientsDealListAndItsOpenLinkLeadsToTheEntry)
{
    host.Serve("/deals.atom", kFeed);
    ProgramRun added
        = Server({"feeds", "add", host.Url("/deals.atom"), "--kind", "deal", "--store", "Tool Shed"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    ServerProcess server(TALLYHAWK_SERVER_PATH, {"--db", dir.File("service.db")}, dir.path());
    ASSERT_TRUE(server.started()) << server.output();

    const std::string port = std::to_string(server.dealPort());
    nlohmann::json deals = nlohmann::json::object();
    for (int attempt = 0; attempt < 100 && deals.value("count", 0) == 0; ++attempt) {
        ProgramRun fetched
            = Cli({"fetch-items", "--kind", "deals", "--store", "--host", "127.0.0.1", "--port", port});
        ASSERT_EQ(fetched.exitCode, 0) << fetched.err;
        ProgramRun listed = Cli({"items", "list", "deals", "--days", "0", "--json"});
        ASSERT_EQ(listed.exitCode, 0) << listed.err;
        deals = nlohmann::json::parse(listed.out);
        if (deals.value("count", 0) == 0) {
            std::this_thread::sleep_for(100ms); // the service polls its feeds once a second
        }
    }
    ASSERT_EQ(deals["count"], 1);
    const nlohmann::json& deal = deals["items"][0];
    EXPECT_EQ(deal["title"], "Cordless drill $59.99");
    EXPECT_EQ(deal["storeName"], "Tool Shed");
    EXPECT_EQ(deal["categoryName"], "General");
    EXPECT_EQ(deal["extra"], "$59.99");
    const std::string open = RedirectPageUrl(server.siteUrl(), 2, deal["id"].get<std::int32_t>());
    const std::string answer = test::Get(PortOf(server.siteUrl()), open.substr(server.siteUrl().size()), 3s);
    EXPECT_EQ(test::StatusOf(answer), 302) << answer;
    EXPECT_NE(answer.find("Location: " + host.Url("/deals/drill?ref=feed") + "\r\n"), std::string::npos)
        << answer;
}

TEST_F(FeedEndToEndTest, AFeedHostThatNeverAnswersHoldsUpNeitherTheSiteNorTheStop)
{
    std::atomic<bool> release{false};
    host.Serve("/feed", kFeed);
    ASSERT_EQ(Server({"feeds", "add", host.Url("/feed"), "--kind", "deal"}).exitCode, 0);
    // Subscribed while answering, then silent: the service's first fetch hangs.
    host.Handle("/feed", [&release](const httplib::Request&, httplib::Response& response) {
        for (int waited = 0; !release && waited < 300; ++waited) {
            std::this_thread::sleep_for(100ms);
        }
        response.status = 500;
    });
    ServerProcess server(TALLYHAWK_SERVER_PATH, {"--db", dir.File("service.db")}, dir.path());
    ASSERT_TRUE(server.started()) << server.output();
    for (int attempt = 0; attempt < 100 && host.seen().empty(); ++attempt) {
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_FALSE(host.seen().empty());
    EXPECT_EQ(test::StatusOf(test::Get(PortOf(server.siteUrl()), "/", 3s)), 200);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(server.Stop(), 0);
    // Well within the time after which the service would end without waiting for its threads.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    release = true;
}

} // namespace
} // namespace tallyhawk::server
