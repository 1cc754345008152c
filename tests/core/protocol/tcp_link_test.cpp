#include "core/protocol/name_lookup.h"
#include "core/protocol/tcp_link.h"
#include "support/fake_deal_server.h"
#include "support/temp_dir.h"
#include "support/trickling_deal_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>
#include <stop_token>
#include <thread>

// Records the largest allocation the current thread makes while armed, to show that a refused
// frame length is never allocated.
namespace
{
thread_local bool g_trackAllocations = false;
thread_local std::size_t g_largestAllocation = 0;

void* TrackedAllocate(std::size_t size)
{
    if (g_trackAllocations && size > g_largestAllocation) {
        g_largestAllocation = size;
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size)
{
    return TrackedAllocate(size);
}
void* operator new[](std::size_t size)
{
    return TrackedAllocate(size);
}
void operator delete(void* block) noexcept
{
    std::free(block);
}
void operator delete[](void* block) noexcept
{
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept
{
    std::free(block);
}

namespace tallyhawk
{
namespace
{

using namespace std::chrono_literals;
using test::FakeDealServer;
using Clock = std::chrono::steady_clock;
using Script = FakeDealServer::Script;

std::chrono::milliseconds Since(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

std::string Text(const std::vector<char>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

bool IsBlocking(int fd)
{
    return (::fcntl(fd, F_GETFL) & O_NONBLOCK) == 0;
}

// A port on 127.0.0.1 that nobody listens on.
std::uint16_t ClosedPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

class TcpLinkTest : public ::testing::Test
{
protected:
    TcpLinkTest()
    {
        link.timeoutOverride = 400ms;
        link.headerPieceWait = 400ms;
    }

    // Serves one connection with the script (sent without waiting for a request) and connects.
    int Receive(Script script, std::vector<char>& payload)
    {
        server.Push(std::move(script.WithoutRequest()));
        EXPECT_GT(link.Connect("127.0.0.1", server.port()), 0);
        int result = link.ReceiveFrame(payload);
        EXPECT_TRUE(IsBlocking(link.handle()));
        return result;
    }

    FakeDealServer server;
    TcpLink link;
};

TEST_F(TcpLinkTest, ConnectsByDottedAddressAndByName)
{
    server.PushReply("9001");
    server.PushReply("9002");
    std::vector<char> payload;
    for (const char* host : {"127.0.0.1", "localhost"}) {
        int handle = link.Connect(host, server.port());
        ASSERT_GT(handle, 0) << host;
        EXPECT_EQ(handle, link.handle());
        EXPECT_TRUE(link.IsOpen());
        EXPECT_TRUE(IsBlocking(handle));
        EXPECT_EQ(link.SendFrame("1005", 4), 4);
        EXPECT_EQ(link.ReceiveFrame(payload), 4);
        EXPECT_EQ(link.Close(), 0);
        EXPECT_FALSE(link.IsOpen());
    }
    EXPECT_EQ(server.Requests(),
              (std::vector<std::string>(2,
                                        std::string("<!>\0\0\0\x04"
                                                    "1005",
                                                    11))));
}

TEST_F(TcpLinkTest, RefusedConnectionFailsAtOnce)
{
    link.timeoutOverride = 0ms;
    link.timeoutSeconds = 20;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(link.Connect("127.0.0.1", ClosedPort()), -2);
    EXPECT_LT(Since(start), 2s);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.lastFailure(), ServerFailure::ConnectionRefused);
}

TEST_F(TcpLinkTest, NameThatDoesNotResolveIsToldApart)
{
    // An empty name never reaches a name server, so the test stays off the network.
    EXPECT_EQ(link.Connect("", server.port()), -2);
    EXPECT_EQ(link.lastFailure(), ServerFailure::NameNotResolved);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(server.connectionsAccepted(), 0);
}

// A name server that answers only when the test lets it, or after five seconds.
struct SlowNameServer
{
    static int Lookup(const char*, const char*, const addrinfo*, addrinfo**)
    {
        std::unique_lock<std::mutex> lock(mutex);
        ++asked;
        changed.notify_all();
        changed.wait_for(lock, 5s, [] { return released; });
        ++answered;
        changed.notify_all();
        return EAI_NONAME;
    }
    // Lets every lookup answer and waits until they have.
    static void ReleaseAll()
    {
        std::unique_lock<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
        changed.wait(lock, [] { return answered == asked; });
    }

    static inline std::mutex mutex;
    static inline std::condition_variable changed;
    static inline bool released = false;
    static inline int asked = 0;
    static inline int answered = 0;
};

class SlowNameLookupTest : public TcpLinkTest
{
protected:
    SlowNameLookupTest()
    {
        SlowNameServer::released = false;
        NameLookup::SetFunction(&SlowNameServer::Lookup);
    }
    ~SlowNameLookupTest() override
    {
        SlowNameServer::ReleaseAll();
        NameLookup::SetFunction(nullptr);
    }
};

TEST_F(SlowNameLookupTest, AStopEndsAConnectStillLookingUpTheName)
{
    link.timeoutOverride = 0ms;
    link.timeoutSeconds = 20;
    std::stop_source stop;
    link.SetStopToken(stop.get_token());
    std::jthread stopper([&stop] {
        std::unique_lock<std::mutex> lock(SlowNameServer::mutex);
        SlowNameServer::changed.wait(lock, [] { return SlowNameServer::asked > 0; });
        stop.request_stop();
    });
    Clock::time_point start = Clock::now();
    EXPECT_EQ(link.Connect("deals.example", server.port()), -2);
    EXPECT_LT(Since(start), 2s);
    EXPECT_EQ(link.lastFailure(), ServerFailure::Stopped);
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(SlowNameLookupTest, ASlowLookupCountsAgainstTheConnectionsWait)
{
    link.timeoutOverride = 300ms;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(link.Connect("deals.example", server.port()), -2);
    EXPECT_LT(Since(start), 2s);
    EXPECT_EQ(link.lastFailure(), ServerFailure::NameNotResolved);
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(TcpLinkTest, ConnectionThatNeverCompletesFailsAfterWait)
{
    // A listener with a full accept queue drops further connection attempts unanswered (unless the
    // system is set to refuse them instead).
    if (test::ReadFileBytes("/proc/sys/net/ipv4/tcp_abort_on_overflow").rfind('1', 0) == 0) {
        GTEST_SKIP() << "full accept queues refuse connections here";
    }
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    const std::uint16_t port = ntohs(address.sin_port);
    TcpLink first;
    ASSERT_GT(first.Connect("127.0.0.1", port), 0);

    link.timeoutOverride = 300ms;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(link.Connect("127.0.0.1", port), -2);
    EXPECT_GE(Since(start), 290ms);
    EXPECT_LT(Since(start), 3s);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.lastFailure(), ServerFailure::ConnectTimedOut);
    ::close(listener);
}

TEST_F(TcpLinkTest, NothingToDoWithoutSocket)
{
    std::vector<char> payload{'x'};
    EXPECT_EQ(link.SendFrame("1005", 4), -2);
    EXPECT_EQ(link.ReceiveFrame(payload), -2);
    EXPECT_TRUE(payload.empty());
    EXPECT_EQ(link.Close(), 0);
    EXPECT_EQ(link.Close(), 0);
}

TEST_F(TcpLinkTest, SilentServerGivesNoReplyAfterWait)
{
    std::vector<char> payload;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(Receive(Script().Hang(), payload), -8);
    EXPECT_GE(Since(start), 390ms);
    EXPECT_LT(Since(start), 3s);
    EXPECT_TRUE(payload.empty());
    EXPECT_EQ(link.lastFailure(), ServerFailure::NoReply);
}

TEST_F(TcpLinkTest, StopTokenCutsWaitsShort)
{
    link.timeoutOverride = 0ms;
    link.timeoutSeconds = 20;
    link.headerPieceWait = 10s;
    std::stop_source stop;
    link.SetStopToken(stop.get_token());
    server.Push(Script().WithoutRequest().Hang());
    ASSERT_GT(link.Connect("127.0.0.1", server.port()), 0);
    std::jthread stopper([&stop] {
        std::this_thread::sleep_for(150ms);
        stop.request_stop();
    });
    std::vector<char> payload;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(link.ReceiveFrame(payload), -8);
    EXPECT_LT(Since(start), 2s);
    EXPECT_TRUE(IsBlocking(link.handle()));
    EXPECT_EQ(link.lastFailure(), ServerFailure::Stopped);
    stopper.join();
    // Once stopped, a new connection is not waited for either.
    EXPECT_EQ(link.Connect("127.0.0.1", server.port()), -2);
    EXPECT_EQ(link.lastFailure(), ServerFailure::Stopped);
}

TEST_F(TcpLinkTest, StopTokenEndsAHeaderWaitedForInPieces)
{
    link.timeoutOverride = 0ms;
    link.headerPieceWait = 10s;
    std::stop_source stop;
    link.SetStopToken(stop.get_token());
    server.Push(Script().WithoutRequest().Send("<!>").Hang());
    ASSERT_GT(link.Connect("127.0.0.1", server.port()), 0);
    std::jthread stopper([&stop] {
        std::this_thread::sleep_for(200ms);
        stop.request_stop();
    });
    std::vector<char> payload;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(link.ReceiveFrame(payload), -4);
    EXPECT_LT(Since(start), 2s);
    EXPECT_EQ(link.lastFailure(), ServerFailure::Stopped);
}

TEST_F(TcpLinkTest, AcceptsHeaderInTwoPiecesAndTrickledBody)
{
    std::vector<char> payload;
    const std::string frame = FakeDealServer::Frame("9001hello<~>");
    EXPECT_EQ(Receive(Script().Send(frame.substr(0, 3)).Pause(100ms).Send(frame.substr(3)), payload), 12);
    EXPECT_EQ(Text(payload), "9001hello<~>");

    // Every piece arrives within its wait although the whole reply takes longer than one wait.
    const std::string body(60, 'b');
    Clock::time_point start = Clock::now();
    EXPECT_EQ(Receive(Script().Trickle(FakeDealServer::Frame(body), 5, 60ms), payload), 60);
    EXPECT_EQ(Text(payload), body);
    EXPECT_GT(Since(start), 600ms);
}

TEST_F(TcpLinkTest, LateOrPartialHeaderIsBadFrame)
{
    std::vector<char> payload;
    EXPECT_EQ(Receive(Script()
                          .Send(std::string("<!>\0", 4))
                          .Pause(800ms)
                          .Send(std::string("\0\0\x04"
                                            "9001",
                                            7)),
                      payload),
              -4);
    EXPECT_EQ(link.lastFailure(), ServerFailure::ReplyCutShort);
    EXPECT_EQ(Receive(Script().Send("<!").Close(), payload), -4);
    EXPECT_EQ(link.lastFailure(), ServerFailure::ReplyCutShort);
    EXPECT_EQ(Receive(Script().Close(), payload), -5);
    EXPECT_EQ(link.lastFailure(), ServerFailure::ClosedWithoutReply);
    // A few bytes that cannot begin a frame: some other kind of server answered.
    EXPECT_EQ(Receive(Script().Send("HT").Close(), payload), -4);
    EXPECT_EQ(link.lastFailure(), ServerFailure::NotDealServer);
    EXPECT_TRUE(payload.empty());
}

TEST_F(TcpLinkTest, WrongMarkerInAnyPositionIsRefusedWithoutReadingBody)
{
    for (int position = 0; position < 3; ++position) {
        int ends[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        std::string frame = FakeDealServer::Frame("90011005<~>");
        frame[static_cast<std::size_t>(position)] = 'X';
        ASSERT_EQ(::send(ends[1], frame.data(), frame.size(), 0), static_cast<ssize_t>(frame.size()));
        link.AdoptConnectedSocket(ends[0]);
        std::vector<char> payload;
        EXPECT_EQ(link.ReceiveFrame(payload), -4) << position;
        EXPECT_EQ(link.lastFailure(), ServerFailure::NotDealServer) << position;
        EXPECT_TRUE(payload.empty());
        char rest[32];
        ssize_t left = ::recv(ends[0], rest, sizeof rest, MSG_DONTWAIT);
        EXPECT_EQ(std::string(rest, static_cast<std::size_t>(std::max<ssize_t>(left, 0))), "90011005<~>");
        link.Close();
        ::close(ends[1]);
    }
}

TEST_F(TcpLinkTest, RefusesZeroNegativeAndOversizedLengthsBeforeAllocating)
{
    for (std::uint32_t length : {0u, 0x80000000u, 0xFFFFFFFFu, 16u * 1024 * 1024 + 1, 0x7FFFFFFFu}) {
        std::vector<char> payload;
        server.Push(Script().WithoutRequest().Send(FakeDealServer::Header("<!>", length) + "9001"));
        ASSERT_GT(link.Connect("127.0.0.1", server.port()), 0);
        g_largestAllocation = 0;
        g_trackAllocations = true;
        int result = link.ReceiveFrame(payload);
        g_trackAllocations = false;
        EXPECT_EQ(result, -4) << length;
        EXPECT_LT(g_largestAllocation, 4096u) << length;
        // Lengths a 32-bit signed field cannot hold are no frame of ours; the rest are too large.
        EXPECT_EQ(link.lastFailure(),
                  length == 0 || length >= 0x80000000u ? ServerFailure::NotDealServer
                                                       : ServerFailure::ReplyTooLarge)
            << length;
        link.Close();
    }
}

TEST_F(TcpLinkTest, AcceptsTheLargestFrame)
{
    link.timeoutOverride = 5s;
    std::vector<char> payload;
    const std::string body(TcpLink::kMaxFrameLength, 'z');
    g_largestAllocation = 0;
    g_trackAllocations = true;
    int result = Receive(Script().Reply(body), payload);
    g_trackAllocations = false;
    EXPECT_EQ(result, TcpLink::kMaxFrameLength);
    // The allocation watch sees the payload buffer, so its silence above means something.
    EXPECT_GE(g_largestAllocation, static_cast<std::size_t>(TcpLink::kMaxFrameLength));
    EXPECT_EQ(payload.size(), body.size());
    EXPECT_EQ(payload.back(), 'z');
}

TEST_F(TcpLinkTest, PeerClosingOrStallingMidBodyHandsOutNothing)
{
    std::vector<char> payload{'o', 'l', 'd'};
    EXPECT_EQ(
        Receive(Script().Send(FakeDealServer::Header("<!>", 100) + std::string(50, 'h')).Close(), payload),
        -5);
    EXPECT_TRUE(payload.empty());
    EXPECT_EQ(link.lastFailure(), ServerFailure::ReplyCutShort);
    EXPECT_EQ(
        Receive(Script().Send(FakeDealServer::Header("<!>", 100) + std::string(50, 'h')).Hang(), payload),
        -4);
    EXPECT_TRUE(payload.empty());
    EXPECT_EQ(link.lastFailure(), ServerFailure::ReplyCutShort);
}

TEST_F(TcpLinkTest, DeadlineBoundsATrickledReplyAsAWhole)
{
    // Every byte comes well within the piece waits; only the deadline can end this early.
    test::TricklingDealServer trickling(std::string(400, 'p'), 10ms);
    ASSERT_GT(link.Connect("127.0.0.1", trickling.port()), 0);
    link.SetDeadline(Clock::now() + 300ms);
    std::vector<char> payload{'o', 'l', 'd'};
    Clock::time_point start = Clock::now();
    EXPECT_EQ(link.ReceiveFrame(payload), kTimeLimitReached);
    EXPECT_LT(Since(start), trickling.FullReplyTime() / 2);
    EXPECT_EQ(link.lastFailure(), ServerFailure::TimeLimit);
    EXPECT_TRUE(payload.empty());
    EXPECT_TRUE(IsBlocking(link.handle()));

    // A deadline that has passed also ends a send that has to wait, and a wait for a reply at once.
    link.Close();
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    link.AdoptConnectedSocket(ends[0]);
    link.SetDeadline(Clock::now());
    const std::string body(8 * 1024 * 1024, 'q');
    EXPECT_EQ(link.SendFrame(body.data(), static_cast<std::int32_t>(body.size())), kTimeLimitReached);
    EXPECT_EQ(link.ReceiveFrame(payload), kTimeLimitReached);
    EXPECT_EQ(link.lastFailure(), ServerFailure::TimeLimit);
    // Without it the single waits hold again.
    link.ClearDeadline();
    EXPECT_EQ(link.ReceiveFrame(payload), kNoReply);
    EXPECT_EQ(link.lastFailure(), ServerFailure::NoReply);
    link.Close();
    ::close(ends[1]);
}

TEST_F(TcpLinkTest, SendsWholeLargeFrame)
{
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    link.AdoptConnectedSocket(ends[0]);
    const std::string body(4 * 1024 * 1024 + 3, 'q');
    std::string received;
    std::jthread reader([&] {
        char chunk[65536];
        ssize_t got;
        while ((got = ::recv(ends[1], chunk, sizeof chunk, 0)) > 0) {
            received.append(chunk, static_cast<std::size_t>(got));
        }
    });
    EXPECT_EQ(link.SendFrame(body.data(), static_cast<std::int32_t>(body.size())),
              static_cast<int>(body.size()));
    EXPECT_TRUE(IsBlocking(link.handle()));
    link.Close();
    reader.join();
    ::close(ends[1]);
    EXPECT_EQ(received, FakeDealServer::Header("<!>", static_cast<std::uint32_t>(body.size())) + body);
}

TEST_F(TcpLinkTest, SendToPeerThatNeverReadsEndsAfterWait)
{
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    link.AdoptConnectedSocket(ends[0]);
    link.timeoutOverride = 300ms;
    const std::string body(8 * 1024 * 1024, 'q');
    Clock::time_point start = Clock::now();
    EXPECT_EQ(link.SendFrame(body.data(), static_cast<std::int32_t>(body.size())), -3);
    EXPECT_LT(Since(start), 3s);
    EXPECT_EQ(link.lastFailure(), ServerFailure::SendFailed);
    ::close(ends[1]);
    // A peer that has gone away fails the send without a signal.
    EXPECT_EQ(link.SendFrame("1005", 4), -3);
}

} // namespace
} // namespace tallyhawk
