#include "core/protocol/reply_item.h"
#include "core/protocol/server_connection.h"
#include "core/protocol/tcp_link.h"
#include "core/protocol/wire_message.h"
#include "server/deal_server.h"
#include "server/item_database.h"
#include "server/request_answer.h"
#include "support/fake_deal_server.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tallyhawk::server
{
namespace
{

using namespace std::chrono_literals;
using test::FakeDealServer;

std::vector<char> Bytes(std::string_view text)
{
    return std::vector<char>(text.begin(), text.end());
}

std::string Text(const std::vector<char>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

ServerItem Item(std::int32_t kind, std::string title)
{
    ServerItem item;
    item.kind = kind;
    item.title = std::move(title);
    item.storeName = "Corner Shop";
    item.categoryName = "Garden";
    return item;
}

class RequestAnswerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(items.Open(":memory:"), std::nullopt); }

    ItemDatabase items;
    RequestAnswer answer{items, "32"};
};

TEST_F(RequestAnswerTest, VersionAndItemsAfterTheIdOfTheirKind)
{
    EXPECT_EQ(Text(answer.Answer(Bytes("1005"))), "90011005<~>32<~>");
    items.Post(Item(1, "Coupon one"));
    items.Post(Item(2, "Deal two"));
    items.Post(Item(1, "Coupon three"));

    WireMessage reply;
    reply.AssignPayload(answer.Answer(Bytes("10020<~>")));
    ASSERT_EQ(ReplyItemCount(reply), 2);
    EXPECT_EQ(ReadReplyItem(reply, 0).title, "Coupon one");
    EXPECT_EQ(ReadReplyItem(reply, 1).id, 3);
    EXPECT_EQ(ReadReplyItem(reply, 1).storeId, 1);
    EXPECT_EQ(ReadReplyItem(reply, 1).categoryName, "Garden");

    reply.AssignPayload(answer.Answer(Bytes("10021<~>")));
    ASSERT_EQ(ReplyItemCount(reply), 1);
    EXPECT_EQ(ReadReplyItem(reply, 0).id, 3);
    EXPECT_EQ(Text(answer.Answer(Bytes("10063<~>"))), "90011006<~>0<~>");
    EXPECT_EQ(Text(answer.Answer(Bytes("10040<~>"))), "90011004<~>0<~>");
}

TEST_F(RequestAnswerTest, ALongBacklogComesInBoundedReplies)
{
    for (int i = 0; i < RequestAnswer::kMaxItemsPerReply + 7; ++i) {
        items.Post(Item(2, "Deal"));
    }
    WireMessage reply;
    reply.AssignPayload(answer.Answer(Bytes("10060<~>")));
    ASSERT_EQ(ReplyItemCount(reply), RequestAnswer::kMaxItemsPerReply);
    const std::int32_t last = ReadReplyItem(reply, RequestAnswer::kMaxItemsPerReply - 1).id;
    reply.AssignPayload(answer.Answer(Bytes("1006" + std::to_string(last) + "<~>")));
    EXPECT_EQ(ReplyItemCount(reply), 7);
}

TEST_F(RequestAnswerTest, BadRequestsGetTheErrorReply)
{
    EXPECT_EQ(Text(answer.Answer(Bytes("1002"))), "90021002<~>2<~>"); // no id
    EXPECT_EQ(Text(answer.Answer(Bytes("1002-5<~>"))), "90021002<~>2<~>");
    EXPECT_EQ(Text(answer.Answer(Bytes("1234"))), "90021234<~>1<~>");
    EXPECT_EQ(Text(answer.Answer(Bytes("12"))), "90020<~>2<~>");
    EXPECT_EQ(Text(answer.Answer(Bytes("abcd<~>"))), "90020<~>2<~>");
    EXPECT_EQ(Text(answer.Answer(Bytes("  -1"))), "90020<~>2<~>");
}

TEST_F(RequestAnswerTest, ATerminatorInsideATextCannotShiftTheFields)
{
    items.Post(Item(3, "Rakes <~> hoes"));
    WireMessage reply;
    reply.AssignPayload(answer.Answer(Bytes("10040<~>")));
    ASSERT_EQ(ReplyItemCount(reply), 1);
    EXPECT_EQ(ReadReplyItem(reply, 0).title, "Rakes <-> hoes");
    EXPECT_EQ(ReadReplyItem(reply, 0).storeName, "Corner Shop");
}

// A deal server on a free port, on a thread of its own.
class DealServerTest : public ::testing::Test
{
protected:
    void Start(DealServer::Options options = {})
    {
        ASSERT_EQ(items.Open(":memory:"), std::nullopt);
        options.port = 0;
        server = std::make_unique<DealServer>(answer, options);
        ASSERT_EQ(server->Listen(), std::nullopt);
        thread = std::jthread([this](std::stop_token stop) { server->Run(stop); });
    }
    void TearDown() override
    {
        thread.request_stop();
        if (thread.joinable()) {
            thread.join();
        }
    }
    // A connection with short waits, connected to the server.
    std::unique_ptr<TcpLink> Connect()
    {
        auto link = std::make_unique<TcpLink>();
        link->timeoutOverride = 3000ms;
        link->headerPieceWait = 3000ms;
        EXPECT_GT(link->Connect("127.0.0.1", server->port()), 0);
        return link;
    }
    std::unique_ptr<ServerConnection> Client()
    {
        auto client = std::make_unique<ServerConnection>();
        client->Configure("127.0.0.1", server->port());
        client->link().timeoutOverride = 3000ms;
        return client;
    }
    static void SendRaw(TcpLink& link, std::string_view bytes)
    {
        ASSERT_EQ(::send(link.handle(), bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }

    ItemDatabase items;
    RequestAnswer answer{items, "33"};
    std::unique_ptr<DealServer> server;
    std::jthread thread;
};

TEST_F(DealServerTest, AnswersTheClientsRequests)
{
    Start();
    items.Post(Item(2, "Mower"));
    auto client = Client();
    EXPECT_EQ(client->FetchVersion(), "33");
    std::unique_ptr<WireMessage> reply = client->FetchItems(2, 0);
    ASSERT_TRUE(reply);
    EXPECT_EQ(ReadReplyItem(*reply, 0).title, "Mower");
}

TEST_F(DealServerTest, SilentAndTricklingClientsDoNotHoldUpTheOthers)
{
    Start();
    items.Post(Item(1, "Coupon"));
    std::vector<std::unique_ptr<TcpLink>> silent;
    for (int i = 0; i < 20; ++i) {
        silent.push_back(Connect());
    }
    auto trickling = Connect();
    SendRaw(*trickling, "<!>");
    std::atomic<int> answered{0};
    {
        std::vector<std::jthread> clients;
        for (int i = 0; i < 8; ++i) {
            clients.emplace_back([&] {
                auto client = Client();
                for (int k = 0; k < 5; ++k) {
                    if (client->FetchItems(1, 0)) {
                        ++answered;
                    }
                }
            });
        }
    }
    EXPECT_EQ(answered.load(), 40);
}

TEST_F(DealServerTest, AFrameOverTheCeilingOrLongerThanAnyRequestIsRefusedBeforeItsPayload)
{
    Start();
    for (std::uint32_t length : {16u * 1024 * 1024 + 1, 4097u, 0xffffffffu}) {
        auto link = Connect();
        SendRaw(*link, FakeDealServer::Header("<!>", length) + "1005");
        std::vector<char> payload;
        ASSERT_GT(link->ReceiveFrame(payload), 0) << length;
        EXPECT_EQ(Text(payload), "90020<~>3<~>");
        // The connection is closed after it: nothing more is read from it.
        std::vector<char> more;
        EXPECT_LT(link->ReceiveFrame(more), 0);
    }
    // A request of the longest accepted length is read and answered.
    auto link = Connect();
    SendRaw(*link, FakeDealServer::Frame("1002" + std::string(4096 - 7, '0') + "<~>"));
    std::vector<char> payload;
    ASSERT_GT(link->ReceiveFrame(payload), 0);
    EXPECT_EQ(Text(payload), "90011002<~>0<~>");
}

TEST_F(DealServerTest, BadHeadersAndPayloadsGetTheErrorReply)
{
    Start();
    for (const std::string& bytes : {FakeDealServer::Header("<?>", 4) + "1005",
                                     FakeDealServer::Header("<!>", 0),
                                     FakeDealServer::Frame("1003"),
                                     FakeDealServer::Frame("zz")}) {
        auto link = Connect();
        SendRaw(*link, bytes);
        std::vector<char> payload;
        ASSERT_GT(link->ReceiveFrame(payload), 0) << bytes;
        EXPECT_EQ(Text(payload).substr(0, 4), "9002") << bytes;
    }
}

TEST_F(DealServerTest, AClientThatNeverFinishesIsClosedAtTheConnectionLimit)
{
    DealServer::Options options;
    options.connectionLimit = 300ms;
    Start(options);
    auto link = Connect();
    SendRaw(*link, FakeDealServer::Header("<!>", 100) + "1005");
    std::vector<char> payload;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(link->ReceiveFrame(payload), kClosedByPeer);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
}

TEST_F(DealServerTest, ClientsBeyondThePoolAreToldItIsBusy)
{
    DealServer::Options options;
    options.maxConnections = 2;
    Start(options);
    auto first = Connect();
    auto second = Connect();
    std::this_thread::sleep_for(300ms); // both taken into the pool
    auto third = Connect();
    std::vector<char> payload;
    ASSERT_GT(third->ReceiveFrame(payload), 0);
    EXPECT_EQ(Text(payload), "90020<~>4<~>");

    first.reset();
    second.reset();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(Client()->FetchVersion(), "33");
}

} // namespace
} // namespace tallyhawk::server
