#include "raw_http.h"
#include "server/item_database.h"
#include "server/site_server.h"
#include "server_test_files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace tallyhawk::server
{
namespace
{

using namespace std::chrono_literals;
using test::RawHttp;
using test::StatusOf;

// A site on a free port of 127.0.0.1, serving on a thread of its own once Run is called.
class SiteServerTest : public ::testing::Test
{
protected:
    void Listen(SiteServer::Options options = {}, const std::string& db = ":memory:")
    {
        ASSERT_EQ(items.Open(db), std::nullopt);
        options.port = 0;
        options.configText = "<webspider/>";
        site = std::make_unique<SiteServer>(items, options);
        ASSERT_EQ(site->Listen(), std::nullopt);
    }
    void Run()
    {
        thread = std::thread([this] { site->Run(); });
    }
    void Start(SiteServer::Options options = {}, const std::string& db = ":memory:")
    {
        Listen(options, db);
        Run();
    }
    void TearDown() override
    {
        StopSlowClients();
        if (site) {
            site->Stop();
        }
        if (thread.joinable()) {
            thread.join();
        }
    }
    // Clients that send "GET /" and then a header line every 50 ms, as long as the test runs (or
    // `lasting` passes).
    void StartSlowClients(int count, std::chrono::milliseconds lasting = 60s)
    {
        for (int i = 0; i < count; ++i) {
            slow.push_back(std::make_unique<RawHttp>(site->port()));
            ASSERT_TRUE(slow.back()->WaitConnected(2s));
            slow.back()->Send("GET / HTTP/1.1\r\n");
        }
        trickle = std::thread([this, lasting] {
            const auto end = std::chrono::steady_clock::now() + lasting;
            for (int line = 0; !stopSlow && std::chrono::steady_clock::now() < end; ++line) {
                for (auto& client : slow) {
                    client->Send("X-Slow-" + std::to_string(line) + ": 1\r\n");
                }
                std::this_thread::sleep_for(50ms);
            }
        });
    }
    void StopSlowClients()
    {
        stopSlow = true;
        if (trickle.joinable()) {
            trickle.join();
        }
    }
    std::string Get(std::string_view path) { return test::Get(site->port(), path, 3s); }

    ItemDatabase items;
    std::unique_ptr<SiteServer> site;
    std::thread thread;
    std::vector<std::unique_ptr<RawHttp>> slow;
    std::thread trickle;
    std::atomic<bool> stopSlow{false};
};

TEST_F(SiteServerTest, ABurstOf200ConnectionsWaitsInTheBacklogAndIsAnswered)
{
    Listen();
    // Nothing accepts yet: every connection must fit in the listening backlog.
    std::vector<std::unique_ptr<RawHttp>> burst;
    for (int i = 0; i < 200; ++i) {
        burst.push_back(std::make_unique<RawHttp>(site->port()));
    }
    int connected = 0;
    for (auto& client : burst) {
        connected += client->WaitConnected(1500ms) ? 1 : 0;
    }
    ASSERT_EQ(connected, 200);
    Run();
    int answered = 0;
    for (auto& client : burst) {
        client->Send("GET /stores.aspx?idx=0 HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    }
    for (auto& client : burst) {
        answered += StatusOf(client->ReadResponse(5s)) == 200 ? 1 : 0;
    }
    EXPECT_EQ(answered, 200);
}

TEST_F(SiteServerTest, SlowClientsDoNotHoldUpTheOthers)
{
    SiteServer::Options options;
    options.requestDeadline = 30s; // the workers, not the deadline, must keep the site answering
    Start(options);
    StartSlowClients(8);
    const std::string response = Get("/webspider.xml");
    EXPECT_EQ(StatusOf(response), 200);
    EXPECT_NE(response.find("<webspider/>"), std::string::npos);
}

TEST_F(SiteServerTest, ARequestThatDoesNotArriveWholeWithinItsDeadlineIsCut)
{
    SiteServer::Options options;
    options.requestDeadline = 300ms;
    Start(options);
    StartSlowClients(1);
    EXPECT_TRUE(slow.front()->ClosedWithin(3s));
}

TEST_F(SiteServerTest, ConnectionsBeyondTheBoundAreRefusedAtOnce)
{
    SiteServer::Options options;
    options.maxConnections = 3;
    options.workers = 1;
    Start(options);
    std::vector<std::unique_ptr<RawHttp>> silent;
    for (int i = 0; i < 3; ++i) {
        silent.push_back(std::make_unique<RawHttp>(site->port()));
        ASSERT_TRUE(silent.back()->WaitConnected(2s));
    }
    EXPECT_EQ(StatusOf(Get("/")), 503);
    silent.clear();
    // Room again once they are gone. The worker notices a closed connection at once, but on a loaded
    // machine an optimised build can ask again before it has run, so the wait is by time, not attempts.
    std::string response;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (StatusOf(response) != 200 && std::chrono::steady_clock::now() < deadline) {
        response = Get("/");
        if (StatusOf(response) != 200) {
            std::this_thread::sleep_for(10ms);
        }
    }
    EXPECT_EQ(StatusOf(response), 200);
}

TEST_F(SiteServerTest, ARequestBodyIsRefusedBeforeItIsRead)
{
    Start();
    RawHttp client(site->port());
    ASSERT_TRUE(client.WaitConnected(2s));
    ASSERT_TRUE(
        client.Send("POST /nothing HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 1500000000\r\n\r\n"));
    client.Send(std::string(64 * 1024, 'b'));
    const std::string response = client.ReadResponse(3s);
    EXPECT_EQ(StatusOf(response), 413);
    EXPECT_TRUE(client.ClosedWithin(3s));
    EXPECT_EQ(StatusOf(Get("/")), 200);
}

TEST_F(SiteServerTest, ADatabaseFailureIsAnsweredAsOne)
{
    test::TempDir dir;
    test::ServerTestFiles::WriteDamaged(dir.File("service.db"));
    Start({}, dir.File("service.db"));
    EXPECT_EQ(StatusOf(Get("/")), 500);
}

TEST_F(SiteServerTest, StopEndsConnectionsInTheMiddleOfARequestAtOnce)
{
    Start();
    StartSlowClients(2, 3s);
    ASSERT_EQ(StatusOf(Get("/")), 200); // both slow requests are being read by now
    const auto started = std::chrono::steady_clock::now();
    site->Stop();
    thread.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
}

} // namespace
} // namespace tallyhawk::server
