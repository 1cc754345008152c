#include "core/protocol/reply_item.h"
#include "core/protocol/server_connection.h"
#include "support/fake_deal_server.h"
#include "support/trickling_deal_server.h"

#include <gtest/gtest.h>

#include <stop_token>
#include <thread>

namespace tallyhawk
{
namespace
{

using namespace std::chrono_literals;
using test::FakeDealServer;
using test::FakeItem;
using Clock = std::chrono::steady_clock;
using Script = FakeDealServer::Script;

std::string Bytes(std::string_view text)
{
    return std::string(text);
}

class ServerConnectionTest : public ::testing::Test
{
protected:
    ServerConnectionTest()
    {
        connection.Configure("127.0.0.1", server.port());
        connection.link().timeoutOverride = 500ms;
        connection.link().headerPieceWait = 500ms;
    }

    FakeDealServer server;
    ServerConnection connection;
};

FakeItem Coupon()
{
    FakeItem item;
    item.id = 4711;
    item.kind = 1;
    item.storeId = 12;
    item.categoryId = 7;
    item.date = 1718064000;
    item.hot = 1;
    item.title = "20% off shoes";
    item.description = "<b>Today</b> only";
    item.extra = "$5";
    item.storeName = "Shoe Barn";
    item.categoryName = "Apparel";
    return item;
}

TEST(ServerConnectionDefaults, PortAndWaitBeforeConfigure)
{
    ServerConnection connection;
    EXPECT_EQ(connection.port(), 8080);
    EXPECT_FALSE(connection.host());
    EXPECT_EQ(connection.link().timeoutSeconds, 20);
    EXPECT_EQ(connection.requestLimit(), 60s);
    // Nothing to connect to yet.
    EXPECT_FALSE(connection.FetchVersion());
    EXPECT_EQ(connection.lastFailure(), ServerFailure::NotConfigured);
    EXPECT_EQ(connection.FetchItems(1, 0), nullptr);
    EXPECT_EQ(connection.lastFailure(), ServerFailure::NotConfigured);
    connection.Configure("example.invalid", 22);
    EXPECT_EQ(connection.host(), "example.invalid");
    EXPECT_EQ(connection.port(), 22);
}

TEST_F(ServerConnectionTest, FetchVersionSendsElevenByteRequest)
{
    server.PushReply(FakeDealServer::Payload(9001, {"1005", "32"}));
    EXPECT_EQ(connection.FetchVersion(), "32");
    EXPECT_FALSE(connection.link().IsOpen());
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
              Bytes({"<!>\0\0\0\x04"
                     "1005",
                     11}));
}

TEST_F(ServerConnectionTest, FetchVersionDropsUnusableReplies)
{
    // Each unusable reply names its own reason.
    const std::pair<std::string, ServerFailure> replies[] = {
        {FakeDealServer::Payload(9002, {"1005", "17"}), ServerFailure::ErrorReply},
        {FakeDealServer::Payload(9001, {"1002", "32"}), ServerFailure::OtherReply},
        {FakeDealServer::Payload(9001, {"1005", ""}), ServerFailure::OtherReply},
        {FakeDealServer::Payload(9003, {"1005", "32"}), ServerFailure::NotDealServer},
        {"9001", ServerFailure::OtherReply},
        {"-900", ServerFailure::NotDealServer},
        {"ab", ServerFailure::NotDealServer},
    };
    for (const auto& [payload, failure] : replies) {
        server.PushReply(payload);
        EXPECT_FALSE(connection.FetchVersion()) << payload;
        EXPECT_EQ(connection.lastFailure(), failure) << payload;
        EXPECT_FALSE(connection.link().IsOpen());
    }
    server.Push(Script().Close());
    EXPECT_FALSE(connection.FetchVersion());
    EXPECT_EQ(connection.lastFailure(), ServerFailure::ClosedWithoutReply);
    EXPECT_EQ(server.Requests().size(), std::size(replies) + 1);

    // A reply that is usable again clears the reason.
    server.PushReply(FakeDealServer::Payload(9001, {"1005", "32"}));
    EXPECT_EQ(connection.FetchVersion(), "32");
    EXPECT_EQ(connection.lastFailure(), ServerFailure::None);
}

TEST_F(ServerConnectionTest, FetchItemsRequestsEachKindAfterLastId)
{
    server.PushReply(FakeDealServer::ItemReply(1002, {}));
    server.PushReply(FakeDealServer::ItemReply(1006, {}));
    server.PushReply(FakeDealServer::ItemReply(1004, {}));
    EXPECT_NE(connection.FetchItems(1, 0), nullptr);
    EXPECT_NE(connection.FetchItems(2, 123456), nullptr);
    EXPECT_NE(connection.FetchItems(3, -1), nullptr);
    EXPECT_EQ(server.Requests(),
              (std::vector<std::string>{Bytes({"<!>\0\0\0\x08"
                                               "10020<~>",
                                               15}),
                                        Bytes({"<!>\0\0\0\x0d"
                                               "1006123456<~>",
                                               20}),
                                        Bytes({"<!>\0\0\0\x09"
                                               "1004-1<~>",
                                               16})}));
}

TEST_F(ServerConnectionTest, UnknownKindSendsNothing)
{
    EXPECT_EQ(connection.FetchItems(0, 0), nullptr);
    EXPECT_EQ(connection.FetchItems(4, 0), nullptr);
    EXPECT_EQ(connection.FetchItems(99, 0), nullptr);
    EXPECT_EQ(server.connectionsAccepted(), 0);
}

TEST_F(ServerConnectionTest, OneCouponReplyCarriesThirteenFields)
{
    server.PushReply(FakeDealServer::ItemReply(1002, {Coupon()}));
    std::unique_ptr<WireMessage> reply = connection.FetchItems(1, 4700);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->code(), 9001);
    EXPECT_EQ(reply->FieldCount(), 13);
    EXPECT_EQ(reply->FieldNumber(1), 1002);
    EXPECT_EQ(ReplyItemCount(*reply), 1);
    EXPECT_EQ(ReplyItemsPresent(*reply), 1);
    ReplyItem item = ReadReplyItem(*reply, 0);
    EXPECT_EQ(item.id, 4711);
    EXPECT_EQ(item.kind, 1);
    EXPECT_EQ(item.storeId, 12);
    EXPECT_EQ(item.categoryId, 7);
    EXPECT_EQ(item.date, 1718064000);
    EXPECT_EQ(item.hot, 1);
    EXPECT_EQ(item.title, "20% off shoes");
    EXPECT_EQ(item.description, "<b>Today</b> only");
    EXPECT_EQ(item.extra, "$5");
    EXPECT_EQ(item.storeName, "Shoe Barn");
    EXPECT_EQ(item.categoryName, "Apparel");
}

TEST_F(ServerConnectionTest, ShortReplyReadsMissingItemAsAbsent)
{
    FakeItem sparse = Coupon();
    sparse.extra.clear();
    server.PushReply(FakeDealServer::ItemReply(1006, {sparse}, 2));
    std::unique_ptr<WireMessage> reply = connection.FetchItems(2, 0);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(ReplyItemCount(*reply), 2);
    EXPECT_EQ(ReplyItemsPresent(*reply), 1);
    EXPECT_FALSE(ReadReplyItem(*reply, 0).extra);
    ReplyItem missing = ReadReplyItem(*reply, 1);
    EXPECT_EQ(missing.id, -16);
    EXPECT_EQ(missing.categoryId, -16);
    EXPECT_FALSE(missing.title);
    EXPECT_FALSE(missing.categoryName);
    // Item numbers far beyond any payload stay absent instead of overflowing.
    EXPECT_EQ(ReadReplyItem(*reply, INT32_MAX).id, -16);
    EXPECT_EQ(ReadReplyItem(*reply, -1).id, -16);
}

TEST_F(ServerConnectionTest, FetchItemsDropsRepliesToOtherRequests)
{
    server.PushReply(FakeDealServer::ItemReply(1006, {Coupon()}));
    server.PushReply(FakeDealServer::Payload(9002, {"1002", "5"}));
    server.PushReply(FakeDealServer::Payload(9001, {}));
    EXPECT_EQ(connection.FetchItems(1, 0), nullptr);
    EXPECT_EQ(connection.FetchItems(1, 0), nullptr);
    EXPECT_EQ(connection.FetchItems(1, 0), nullptr);
    EXPECT_FALSE(connection.link().IsOpen());
}

TEST_F(ServerConnectionTest, UnreachableOrSilentServerGivesNothing)
{
    ServerConnection refused;
    {
        // A server that has gone away refuses at once, even with the full wait configured.
        FakeDealServer gone;
        refused.Configure("127.0.0.1", gone.port());
    }
    Clock::time_point start = Clock::now();
    EXPECT_FALSE(refused.FetchVersion());
    EXPECT_EQ(refused.lastFailure(), ServerFailure::ConnectionRefused);
    EXPECT_EQ(refused.FetchItems(1, 0), nullptr);
    EXPECT_EQ(refused.lastFailure(), ServerFailure::ConnectionRefused);
    EXPECT_LT(Clock::now() - start, 2s);

    server.Push(Script().Hang());
    start = Clock::now();
    EXPECT_EQ(connection.FetchItems(3, 0), nullptr);
    EXPECT_GE(Clock::now() - start, 490ms);
    EXPECT_FALSE(connection.link().IsOpen());
    EXPECT_EQ(connection.lastFailure(), ServerFailure::NoReply);

    // An item request with a reply over the frame limit.
    server.Push(Script().Send(FakeDealServer::Header("<!>", 17 * 1024 * 1024)));
    EXPECT_EQ(connection.FetchItems(2, 0), nullptr);
    EXPECT_EQ(connection.lastFailure(), ServerFailure::ReplyTooLarge);
}

TEST_F(ServerConnectionTest, StopTokenEndsRequestEarly)
{
    connection.link().timeoutOverride = 0ms;
    std::stop_source stop;
    connection.SetStopToken(stop.get_token());
    server.Push(Script().Hang());
    std::jthread stopper([&stop] {
        std::this_thread::sleep_for(150ms);
        stop.request_stop();
    });
    Clock::time_point start = Clock::now();
    EXPECT_FALSE(connection.FetchVersion());
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_FALSE(connection.link().IsOpen());
    EXPECT_EQ(connection.lastFailure(), ServerFailure::Stopped);
}

TEST_F(ServerConnectionTest, ARequestEndsAtItsLimitHoweverTheReplyTrickles)
{
    // Each byte of the reply comes well within the link's waits, for seconds in all.
    std::string version = FakeDealServer::Payload(9001, {"1005", std::string(300, '3')});
    test::TricklingDealServer trickling(version, 10ms);
    connection.Configure("127.0.0.1", trickling.port());
    connection.SetRequestLimit(300ms);
    Clock::time_point start = Clock::now();
    EXPECT_FALSE(connection.FetchVersion());
    EXPECT_LT(Clock::now() - start, trickling.FullReplyTime() / 2);
    EXPECT_EQ(connection.lastFailure(), ServerFailure::TimeLimit);
    EXPECT_FALSE(connection.link().IsOpen());

    start = Clock::now();
    EXPECT_EQ(connection.FetchItems(1, 0), nullptr);
    EXPECT_LT(Clock::now() - start, trickling.FullReplyTime() / 2);
    EXPECT_EQ(connection.lastFailure(), ServerFailure::TimeLimit);
    EXPECT_EQ(trickling.connectionsAccepted(), 2);

    // The limit counts from the connection on: each request gets it whole, and a quick reply is kept.
    connection.Configure("127.0.0.1", server.port());
    server.PushReply(FakeDealServer::Payload(9001, {"1005", "32"}));
    EXPECT_EQ(connection.FetchVersion(), "32");
}

} // namespace
} // namespace tallyhawk
