#include "core/protocol/reply_item.h"
#include "core/protocol/server_connection.h"
#include "raw_http.h"
#include "server/item_database.h"
#include "server_test_files.h"
#include "support/fake_deal_server.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace tallyhawk::server
{
namespace
{

using namespace std::chrono_literals;
using test::RawHttp;
using test::ServerProcess;

std::uint16_t SitePort(const ServerProcess& server)
{
    return static_cast<std::uint16_t>(std::stoi(server.siteUrl().substr(server.siteUrl().rfind(':') + 1)));
}

ServerItem Deal(std::string title)
{
    ServerItem item;
    item.kind = 2;
    item.title = std::move(title);
    item.categoryName = "Garden";
    return item;
}

TEST(ServeCommand, SigtermEndsItWithinTwoSecondsWhateverTheClientsDo)
{
    test::TempDir dir;
    ServerProcess server(TALLYHAWK_SERVER_PATH, {}, dir.path());
    ASSERT_TRUE(server.started()) << server.output();
    // Two site clients in the middle of their headers, sending a line now and then, and a deal
    // client that says nothing.
    std::vector<std::unique_ptr<RawHttp>> slow;
    for (int i = 0; i < 2; ++i) {
        slow.push_back(std::make_unique<RawHttp>(SitePort(server)));
        ASSERT_TRUE(slow.back()->WaitConnected(2s));
        slow.back()->Send("GET / HTTP/1.1\r\n");
    }
    RawHttp silent(server.dealPort());
    ASSERT_TRUE(silent.WaitConnected(2s));
    std::atomic<bool> stop{false};
    std::thread trickle([&] {
        for (int line = 0; !stop; ++line) {
            for (auto& client : slow) {
                client->Send("X-Slow-" + std::to_string(line) + ": 1\r\n");
            }
            std::this_thread::sleep_for(100ms);
        }
    });
    std::this_thread::sleep_for(300ms); // the slow requests are being read
    const auto started = std::chrono::steady_clock::now();
    const int status = server.Stop();
    const auto took = std::chrono::steady_clock::now() - started;
    stop = true;
    trickle.join();
    EXPECT_EQ(status, 0);
    EXPECT_LT(took, 2s);
}

TEST(ServeCommand, ADatabaseFileReplacedWhileItRunsIsServedFromThen)
{
    test::TempDir dir;
    const std::string path = dir.File("tallyhawk-server.db");
    {
        ItemDatabase items;
        ASSERT_EQ(items.Open(path), std::nullopt);
        ASSERT_TRUE(items.Post(Deal("Before")));
    }
    ServerProcess server(TALLYHAWK_SERVER_PATH, {}, dir.path());
    ASSERT_TRUE(server.started()) << server.output();
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(path + suffix);
    }
    {
        ItemDatabase items;
        ASSERT_EQ(items.Open(path), std::nullopt);
        ASSERT_EQ(items.Post(Deal("After"))->id, 2);
    }
    ServerConnection client;
    client.Configure("127.0.0.1", server.dealPort());
    client.link().timeoutOverride = 3000ms;
    std::optional<std::string> title;
    for (int attempt = 0; attempt < 50 && title != "After"; ++attempt) {
        std::this_thread::sleep_for(100ms);
        if (std::unique_ptr<WireMessage> reply = client.FetchItems(2, 1);
            reply && ReplyItemCount(*reply) > 0) {
            title = ReadReplyItem(*reply, 0).title;
        }
    }
    EXPECT_EQ(title, "After");
}

TEST(ServeCommand, ADamagedDatabaseIsRefusedAtTheStart)
{
    test::TempDir dir;
    test::ServerTestFiles::WriteDamaged(dir.File("tallyhawk-server.db"));
    ServerProcess server(TALLYHAWK_SERVER_PATH, {}, dir.path());
    EXPECT_FALSE(server.started());
}

} // namespace
} // namespace tallyhawk::server
