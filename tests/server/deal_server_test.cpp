#include "core/protocol/reply_item.h"
#include "core/protocol/server_connection.h"
#include "core/protocol/tcp_link.h"
#include "core/protocol/wire_message.h"
#include "server/deal_server.h"
#include "server/item_database.h"
#include "server/request_answer.h"
#include "server_test_files.h"
#include "support/fake_deal_server.h"
#include "support/temp_dir.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>

extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

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

// The heap this process holds, in bytes: what the sanitizer's allocator counts as in use (freed blocks
// it keeps back to catch use after free are not held), or glibc's count without it.
std::size_t HeldHeapBytes()
{
    if (__sanitizer_get_current_allocated_bytes != nullptr) {
        return __sanitizer_get_current_allocated_bytes();
    }
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::chrono::milliseconds ProcessCpuTime()
{
    timespec used{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return std::chrono::milliseconds(used.tv_sec * 1000 + used.tv_nsec / 1000000);
}

int HighestOpenDescriptor()
{
    int highest = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        highest = std::max(highest, std::stoi(entry.path().filename().string()));
    }
    return highest;
}

// A deal server on a free port, on a thread of its own.
class DealServerTest : public ::testing::Test
{
protected:
    void Start(DealServer::Options options = {}, const std::string& db = ":memory:")
    {
        ASSERT_EQ(items.Open(db), std::nullopt);
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

TEST_F(DealServerTest, AFrameRefusedAtItsHeaderGetsItsReplyThoughItsPayloadFollows)
{
    Start();
    // The payload follows the header in pieces, as a client writes it: the reply is already on its
    // way when they come, and they must neither be refused nor reset the connection.
    auto link = Connect();
    SendRaw(*link, FakeDealServer::Header("<!>", 4097));
    for (int piece = 0; piece < 8; ++piece) {
        std::this_thread::sleep_for(20ms);
        const std::string bytes(piece < 7 ? 512 : 4097 - 7 * 512, '0');
        ASSERT_EQ(::send(link->handle(), bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()))
            << piece;
    }
    std::vector<char> payload;
    ASSERT_GT(link->ReceiveFrame(payload), 0);
    EXPECT_EQ(Text(payload), "90020<~>3<~>");
}

TEST_F(DealServerTest, ItemsStoredWithHugeTextsReachTheClientCut)
{
    test::TempDir dir;
    const std::string path = dir.File("service.db");
    {
        ItemDatabase made;
        ASSERT_EQ(made.Open(path), std::nullopt);
    }
    for (int i = 0; i < 20; ++i) {
        test::ServerTestFiles::AddUncutDeal(path, "Huge " + std::to_string(i), 1 << 20);
    }
    test::ServerTestFiles::AddUncutDeal(path, "Normal", 100);
    Start({}, path);
    std::unique_ptr<WireMessage> reply = Client()->FetchItems(2, 0);
    ASSERT_TRUE(reply);
    ASSERT_EQ(ReplyItemCount(*reply), 21);
    EXPECT_EQ(ReadReplyItem(*reply, 20).title, "Normal");
    EXPECT_EQ(ReadReplyItem(*reply, 0).description->size(), 249u);
}

TEST_F(DealServerTest, ClientsThatRequestAndNeverReadHoldLittleMemory)
{
    test::TempDir dir;
    const std::string path = dir.File("service.db");
    {
        ItemDatabase made;
        ASSERT_EQ(made.Open(path), std::nullopt);
    }
    for (int i = 0; i < 20; ++i) {
        test::ServerTestFiles::AddUncutDeal(path, "Huge", 1 << 20);
    }
    DealServer::Options options;
    options.connectionLimit = 120s; // they stay until the test has looked
    Start(options, path);
    const std::size_t before = HeldHeapBytes();
    std::vector<std::unique_ptr<TcpLink>> readers;
    for (int i = 0; i < 40; ++i) {
        readers.push_back(Connect());
        SendRaw(*readers.back(), FakeDealServer::Frame("10060<~>"));
    }
    // Answered in turn: once a later client is answered, every request before it was.
    std::optional<std::string> version;
    for (int attempt = 0; attempt < 20 && !version; ++attempt) {
        version = Client()->FetchVersion();
    }
    EXPECT_EQ(version, "33");
    const std::size_t held = HeldHeapBytes();
    EXPECT_LT(held - std::min(before, held), 8u * 1024 * 1024);
}

TEST_F(DealServerTest, RepliesWaitingToBeSentAreBoundedTogether)
{
    DealServer::Options options;
    options.maxHeldBytes = 1; // room for one reply at a time
    options.sendBuffer = 4096; // so that the system does not take the reply off the server's hands
    Start(options);
    for (int i = 0; i < 400; ++i) {
        ServerItem item = Item(2, std::string(49, 't'));
        item.description = std::string(249, 'd');
        items.Post(item);
    }
    // A client that reads nothing and takes little (a small window, set before the handshake): most of
    // its reply stays in the server, which has no room for another until it is gone.
    int stuck = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int small = 1024;
    ::setsockopt(stuck, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(server->port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(stuck, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string request = FakeDealServer::Frame("10060<~>");
    ASSERT_EQ(::send(stuck, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    auto waiting = Connect();
    waiting->timeoutOverride = 500ms;
    SendRaw(*waiting, FakeDealServer::Frame("1005"));
    std::vector<char> payload;
    EXPECT_LT(waiting->ReceiveFrame(payload), 0) << "answered while the other reply is held";
    ::close(stuck);
    waiting->timeoutOverride = 3000ms;
    ASSERT_GT(waiting->ReceiveFrame(payload), 0);
    EXPECT_EQ(Text(payload), "90011005<~>33<~>");
}

// Every descriptor of this process but one taken, until the end of the scope.
class AllDescriptorsButOne
{
public:
    AllDescriptorsButOne()
    {
        ::getrlimit(RLIMIT_NOFILE, &original_);
        rlimit lowered = original_;
        lowered.rlim_cur = static_cast<rlim_t>(HighestOpenDescriptor() + 8);
        ::setrlimit(RLIMIT_NOFILE, &lowered);
        for (int fd = Take(); fd >= 0; fd = Take()) {
            taken_.push_back(fd);
        }
        if (!taken_.empty()) {
            ::close(taken_.back());
            taken_.pop_back();
        }
    }
    ~AllDescriptorsButOne()
    {
        for (int fd : taken_) {
            ::close(fd);
        }
        ::setrlimit(RLIMIT_NOFILE, &original_);
    }

private:
    static int Take() { return ::open("/dev/null", O_RDONLY | O_CLOEXEC); }

    rlimit original_{};
    std::vector<int> taken_;
};

TEST_F(DealServerTest, AtTheDescriptorLimitAcceptingWaitsInsteadOfSpinning)
{
    Start();
    int client = -1;
    std::chrono::milliseconds used{0};
    {
        AllDescriptorsButOne limit;
        // The client takes the last one, so its connection waits in the backlog where the server
        // cannot accept it.
        client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(client, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(server->port());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const std::chrono::milliseconds usedBefore = ProcessCpuTime();
        std::this_thread::sleep_for(600ms);
        used = ProcessCpuTime() - usedBefore;
    }
    ::close(client);
    EXPECT_LT(used, 100ms);
    // Accepting goes on once descriptors are free again.
    EXPECT_EQ(Client()->FetchVersion(), "33");
}

} // namespace
} // namespace tallyhawk::server
