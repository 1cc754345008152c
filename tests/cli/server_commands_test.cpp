#include "support/cli_process.h"
#include "support/fake_deal_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace tallyhawk
{
namespace
{

using test::FakeDealServer;
using test::FakeItem;
using test::ProgramRun;

class ServerCommandsTest : public ::testing::Test
{
protected:
    ProgramRun Run(std::vector<std::string> args, bool withServer = true)
    {
        if (withServer) {
            args.insert(args.end(), {"--host", "127.0.0.1", "--port", std::to_string(server.port())});
        }
        return test::RunProgram(TALLYHAWK_CLI_PATH, args, folder.path());
    }

    test::TempDir folder;
    FakeDealServer server;
};

FakeItem Deal()
{
    FakeItem item;
    item.id = 9100;
    item.kind = 2;
    item.storeId = 3;
    item.categoryId = 8;
    item.date = 86400;
    item.hot = 1;
    item.title = "Caf\xe9 grinder";
    item.description = "line one\r\nline two";
    item.storeName = "Kitchen Co";
    item.categoryName = "Home";
    return item;
}

TEST_F(ServerCommandsTest, ServerVersionPrintsTextOrFails)
{
    server.PushReply(FakeDealServer::Payload(9001, {"1005", "33"}));
    ProgramRun run = Run({"server-version"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "33\n");
    EXPECT_EQ(server.Requests().at(0),
              std::string("<!>\0\0\0\x04"
                          "1005",
                          11));

    server.PushReply(FakeDealServer::Payload(9002, {"1005", "4"}));
    run = Run({"server-version"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("gave no version"), std::string::npos) << run.err;
}

TEST_F(ServerCommandsTest, ServerOptionsAreChecked)
{
    EXPECT_EQ(Run({"server-version", "--port", "0"}, false).exitCode, 2);
    EXPECT_EQ(Run({"server-version", "--port", "70000"}, false).exitCode, 2);
    EXPECT_EQ(Run({"fetch-items", "--kind", "coupons", "--host", ""}, false).exitCode, 2);
    EXPECT_EQ(Run({"fetch-items"}, false).exitCode, 2);
    EXPECT_EQ(Run({"fetch-items", "--kind", "gadgets"}, false).exitCode, 2);
    EXPECT_EQ(Run({"fetch-items", "--kind", "deals", "--after", "-1"}, false).exitCode, 2);
    EXPECT_EQ(Run({"fetch-items", "--kind", "deals", "--after", "12x"}, false).exitCode, 2);
    EXPECT_EQ(server.connectionsAccepted(), 0);
}

TEST_F(ServerCommandsTest, FetchItemsPrintsJsonAsMergeReadsIt)
{
    server.PushReply(FakeDealServer::ItemReply(1006, {Deal()}, 2));
    ProgramRun run = Run({"fetch-items", "--kind", "deals", "--after", "9000", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(server.Requests().at(0),
              std::string("<!>\0\0\0\x0b"
                          "10069000<~>",
                          18));
    nlohmann::json out = nlohmann::json::parse(run.out);
    EXPECT_EQ(out["count"], 2);
    ASSERT_EQ(out["items"].size(), 1u);
    const nlohmann::json& item = out["items"][0];
    EXPECT_EQ(item["id"], 9100);
    EXPECT_EQ(item["kind"], 2);
    EXPECT_EQ(item["storeId"], 3);
    EXPECT_EQ(item["categoryId"], 8);
    EXPECT_EQ(item["date"], 86400);
    EXPECT_EQ(item["hot"], 1);
    EXPECT_EQ(item["title"], "Caf\xc3\xa9 grinder");
    EXPECT_EQ(item["description"], "line one\r\nline two");
    EXPECT_TRUE(item["extra"].is_null());
    EXPECT_EQ(item["storeName"], "Kitchen Co");
    EXPECT_EQ(item["categoryName"], "Home");
}

TEST_F(ServerCommandsTest, FetchItemsPrintsReadableBlocks)
{
    server.PushReply(FakeDealServer::ItemReply(1002, {Deal()}, 3));
    ProgramRun run = Run({"fetch-items", "--kind", "coupons"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(
        run.out,
        "3 items in the reply.\n"
        "\n"
        "item 1: id 9100, deal (kind 2), store 3, category 8, date 86400 (1970-01-02 00:00:00 UTC), hot 1\n"
        "  title:         Caf\xc3\xa9 grinder\n"
        "  description:   line one  line two\n"
        "  extra:         (absent)\n"
        "  store name:    Kitchen Co\n"
        "  category name: Home\n"
        "\n"
        "2 announced items carry no fields.\n");
    EXPECT_EQ(server.Requests().at(0),
              std::string("<!>\0\0\0\x08"
                          "10020<~>",
                          15));
}

TEST_F(ServerCommandsTest, FetchItemsWithoutReplyFails)
{
    // A reply to another request is no reply.
    server.PushReply(FakeDealServer::ItemReply(1002, {}));
    ProgramRun run = Run({"fetch-items", "--kind", "topics", "--json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("gave no reply to the forum topics request"), std::string::npos) << run.err;
    EXPECT_EQ(server.Requests().at(0).substr(7), "10040<~>");
}

} // namespace
} // namespace tallyhawk
