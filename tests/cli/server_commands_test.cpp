#include "support/cli_process.h"
#include "support/fake_deal_server.h"
#include "support/temp_dir.h"
#include "support/trickling_deal_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>

namespace tallyhawk
{
namespace
{

using namespace std::chrono_literals;
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
    // The description as the store keeps it: cleaned of its control bytes.
    EXPECT_EQ(item["description"], "line one  line two");
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

TEST_F(ServerCommandsTest, FetchItemsShowsTheStoredTextsAndNoTerminalControls)
{
    FakeItem hostile = Deal();
    hostile.title = std::string("ti\0tle", 6);
    // An operating system command that would set the clipboard, and a C1 control introducer.
    hostile.extra = "\x1b]52;c;cHduZWQ=\x07 and \xc2\x9b"
                    "31m";
    hostile.storeName = std::string(60, 'S');
    server.PushReply(FakeDealServer::ItemReply(1006, {hostile}));
    ProgramRun run = Run({"fetch-items", "--kind", "deals", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json item = nlohmann::json::parse(run.out)["items"][0];
    EXPECT_EQ(item["title"], "ti");
    EXPECT_EQ(item["extra"],
              "\x1b]52;c;cHduZWQ=\x07 and \xc2\x9b"
              "31m"); // JSON escapes it itself
    EXPECT_EQ(item["storeName"], std::string(49, 'S'));

    server.PushReply(FakeDealServer::ItemReply(1006, {hostile}));
    run = Run({"fetch-items", "--kind", "deals"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(run.out.find('\x07'), std::string::npos);
    EXPECT_EQ(run.out.find("\xc2\x9b"), std::string::npos);
    EXPECT_NE(run.out.find("  title:         ti\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("extra:         \\x1B]52;c;cHduZWQ=\\x07 and \\u009B31m\n"), std::string::npos)
        << run.out;

    // Stored and listed, the texts are just as harmless.
    const std::string data = folder.File("data");
    server.PushReply(FakeDealServer::ItemReply(1006, {hostile}));
    run = Run({"fetch-items", "--kind", "deals", "--store", "--data-dir", data});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    run = test::RunProgram(TALLYHAWK_CLI_PATH, {"items", "list", "deals", "--data-dir", data}, folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    EXPECT_NE(run.out.find("[\\x1B]52"), std::string::npos) << run.out;
}

TEST_F(ServerCommandsTest, FetchItemsWithoutReplyFails)
{
    // A reply to another request is no reply.
    server.PushReply(FakeDealServer::ItemReply(1002, {}));
    ProgramRun run = Run({"fetch-items", "--kind", "topics", "--json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("gave no reply to the forum topics request: the server's reply did not answer "
                           "the request"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(server.Requests().at(0).substr(7), "10040<~>");
}

TEST_F(ServerCommandsTest, FailuresSayWhichOneItWas)
{
    std::uint16_t closedPort = 0;
    {
        FakeDealServer gone;
        closedPort = gone.port();
    }
    ProgramRun run
        = test::RunProgram(TALLYHAWK_CLI_PATH,
                           {"server-version", "--host", "127.0.0.1", "--port", std::to_string(closedPort)},
                           folder.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "tallyhawk-cli: The deal server at 127.0.0.1:" + std::to_string(closedPort)
                  + " gave no version: the connection was refused; check the port and that the server is "
                    "running.\n");

    // Some other kind of server on the port.
    using Script = FakeDealServer::Script;
    server.Push(Script().Send("HTTP/1.1 400 Bad Request\r\n\r\n").Close());
    run = Run({"server-version"});
    EXPECT_NE(
        run.err.find("gave no version: the reply is not one of a deal server; check the host and port."),
        std::string::npos)
        << run.err;

    server.Push(Script().Send(FakeDealServer::Header("<!>", 16 * 1024 * 1024 + 1)));
    run = Run({"fetch-items", "--kind", "deals"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("gave no reply to the deals request: the reply is over 16 MiB"), std::string::npos)
        << run.err;

    server.PushReply(FakeDealServer::Payload(9002, {"1005", "4"}));
    run = Run({"server-version"});
    EXPECT_NE(run.err.find("gave no version: the server answered with an error"), std::string::npos)
        << run.err;

    server.Push(Script().Close());
    run = Run({"fetch-items", "--kind", "coupons"});
    EXPECT_NE(run.err.find("the server closed the connection without a reply"), std::string::npos) << run.err;
}

TEST_F(ServerCommandsTest, TimeLimitEndsATricklingReply)
{
    // A byte every 40 ms: no single wait runs out, while the whole reply would take over 12 s.
    test::TricklingDealServer trickling(FakeDealServer::Payload(9001, {"1005", std::string(300, '3')}), 40ms);
    const std::vector<std::string> server
        = {"--host", "127.0.0.1", "--port", std::to_string(trickling.port())};
    auto start = std::chrono::steady_clock::now();
    for (std::vector<std::string> args :
         {std::vector<std::string>{"server-version"}, {"fetch-items", "--kind", "coupons"}}) {
        args.insert(args.end(), server.begin(), server.end());
        args.insert(args.end(), {"--time-limit", "1"});
        ProgramRun run = test::RunProgram(TALLYHAWK_CLI_PATH, args, folder.path());
        EXPECT_EQ(run.exitCode, 1) << args[0];
        EXPECT_TRUE(run.out.empty()) << args[0];
        EXPECT_NE(run.err.find(
                      ": the reply took longer than the request's time limit as a whole; try again later."),
                  std::string::npos)
            << run.err;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, trickling.FullReplyTime() / 2);
    EXPECT_EQ(trickling.connectionsAccepted(), 2);
    EXPECT_EQ(Run({"server-version", "--time-limit", "0"}).exitCode, 2);
    EXPECT_EQ(Run({"server-version", "--time-limit", "1.5"}).exitCode, 2);
}

} // namespace
} // namespace tallyhawk

namespace tallyhawk
{
namespace
{

TEST_F(ServerCommandsTest, FetchItemsStoreMergesAndAsksOnlyForNewerIds)
{
    const std::string data = folder.File("data");
    FakeItem first = Deal();
    FakeItem second = Deal();
    second.id = 9101;
    second.title = "Kettle";
    server.PushReply(FakeDealServer::ItemReply(1006, {first, second}));
    ProgramRun run = Run({"fetch-items", "--kind", "deals", "--store", "--data-dir", data});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("alert: 9100"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Kettle"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2 new items kept in deal.lst."), std::string::npos) << run.out;
    // 80001, two framed records, 80003.
    EXPECT_EQ(std::filesystem::file_size(data + "/deal.lst"), 4u + 2 * 484u + 4u);

    // The second run asks for the ids above the highest deal held; nothing new comes.
    server.PushReply(FakeDealServer::ItemReply(1006, {}));
    run = Run({"fetch-items", "--kind", "deals", "--store", "--json", "--data-dir", data});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(server.Requests().at(1),
              std::string("<!>\0\0\0\x0b"
                          "1006"
                          "9101<~>",
                          18));
    nlohmann::json json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["kept"], 0);
    EXPECT_EQ(json["file"], "deal.lst");

    // Coupons are asked from their own highest id, 0 here, and topics go to their own file.
    server.PushReply(FakeDealServer::ItemReply(1004, {}));
    run = Run({"fetch-items", "--kind", "topics", "--store", "--data-dir", data});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(server.Requests().at(2),
              std::string("<!>\0\0\0\x08"
                          "1004"
                          "0<~>",
                          15));
    EXPECT_NE(run.out.find("0 new items kept in topic.lst."), std::string::npos) << run.out;
}

TEST_F(ServerCommandsTest, FetchItemsStoreKeepsAReplyThatIsNotInIdOrder)
{
    const std::string data = folder.File("data");
    FakeItem first = Deal();
    first.id = 2;
    server.PushReply(FakeDealServer::ItemReply(1006, {first}));
    ASSERT_EQ(Run({"fetch-items", "--kind", "deals", "--store", "--data-dir", data}).exitCode, 0);
    std::vector<FakeItem> reply;
    for (std::int32_t id : {12, 10, 11}) {
        FakeItem item = Deal();
        item.id = id;
        reply.push_back(item);
    }
    server.PushReply(FakeDealServer::ItemReply(1006, reply));
    ProgramRun run = Run({"fetch-items", "--kind", "deals", "--store", "--data-dir", data});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("3 new items kept in deal.lst."), std::string::npos) << run.out;
    EXPECT_EQ(server.Requests().at(1).substr(7), "10062<~>");

    run = Run({"items", "count", "deals", "--data-dir", data}, false);
    EXPECT_EQ(run.out, "4\n") << run.err;
}

TEST_F(ServerCommandsTest, FetchItemsStoreAppliesKeywords)
{
    const std::string data = folder.File("data");
    FakeItem grinder = Deal();
    FakeItem kettle = Deal();
    kettle.id = 9101;
    kettle.title = "Kettle";
    kettle.storeName = "Other";
    server.PushReply(FakeDealServer::ItemReply(1006, {grinder, kettle}));
    ProgramRun run
        = Run({"fetch-items", "--kind", "deals", "--store", "--keywords", "kettle", "--data-dir", data});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find("9100"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1 new item kept in deal.lst."), std::string::npos) << run.out;

    EXPECT_EQ(Run({"fetch-items", "--kind", "deals", "--keywords", "x"}, false).exitCode, 2);
}

} // namespace
} // namespace tallyhawk
