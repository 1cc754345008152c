#include "core/protocol/tcp_link.h"

#include "core/protocol/name_lookup.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <new>

namespace tallyhawk
{
namespace
{

using SteadyClock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kWaitSlice{200};
constexpr char kFrameMarker[] = {'<', '!', '>'};

// Switches a socket to non-blocking mode for one operation and back to blocking mode afterwards.
class NonBlockingScope
{
public:
    explicit NonBlockingScope(int fd)
        : fd_(fd)
    {
        int flags = ::fcntl(fd_, F_GETFL);
        if (flags >= 0) {
            ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
        }
    }
    ~NonBlockingScope()
    {
        int flags = ::fcntl(fd_, F_GETFL);
        if (flags >= 0) {
            ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
        }
    }
    NonBlockingScope(const NonBlockingScope&) = delete;
    NonBlockingScope& operator=(const NonBlockingScope&) = delete;

private:
    int fd_;
};

bool IsRetryable(int error)
{
    return error == EINTR || error == EAGAIN || error == EWOULDBLOCK;
}

// True when the text starts with four decimal numbers separated by dots, as the scan pattern
// "%d.%d.%d.%d" would match them (blanks and a sign allowed before each number, anything after).
bool ScansAsDotted(const std::string& text)
{
    std::size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= text.size() || text[i] != '.') {
                return false;
            }
            ++i;
        }
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        std::size_t digits = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
        if (i == digits) {
            return false;
        }
    }
    return true;
}

// A dotted address is taken as it is, with no lookup; any other text (including one that merely
// starts like an address) goes through the name lookup, IPv4 only.
bool IsDottedAddress(const std::string& host, in_addr& address)
{
    return ScansAsDotted(host) && ::inet_aton(host.c_str(), &address) != 0;
}

} // namespace

TcpLink::~TcpLink()
{
    Close();
}

std::chrono::milliseconds TcpLink::Timeout() const
{
    if (timeoutOverride.count() > 0) {
        return timeoutOverride;
    }
    return std::chrono::seconds(std::max(timeoutSeconds, 0));
}

TcpLink::WaitResult TcpLink::WaitFor(short events, std::chrono::milliseconds limit) const
{
    SteadyClock::time_point deadline = SteadyClock::now() + limit;
    const bool bounded = deadline_ && *deadline_ <= deadline;
    if (bounded) {
        deadline = *deadline_;
    }
    while (!stopToken_.stop_requested()) {
        auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
        auto slice = std::clamp(remaining, std::chrono::milliseconds(0), kWaitSlice);
        pollfd entry{socket_, events, 0};
        int ready = ::poll(&entry, 1, static_cast<int>(slice.count()));
        if (ready > 0) {
            return WaitResult::Ready;
        }
        if (ready < 0 && errno != EINTR) {
            return WaitResult::TimedOut;
        }
        if (SteadyClock::now() >= deadline) {
            return bounded ? WaitResult::DeadlinePassed : WaitResult::TimedOut;
        }
    }
    return WaitResult::Stopped;
}

int TcpLink::Fail(int status, ServerFailure failure)
{
    lastFailure_ = failure;
    return status;
}

int TcpLink::FailWait(WaitResult wait, int status, ServerFailure otherwise)
{
    if (wait == WaitResult::DeadlinePassed) {
        return Fail(kTimeLimitReached, ServerFailure::TimeLimit);
    }
    return Fail(status, wait == WaitResult::Stopped ? ServerFailure::Stopped : otherwise);
}

void TcpLink::DropSocket()
{
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

void TcpLink::AdoptConnectedSocket(int fd)
{
    Close();
    socket_ = fd;
}

int TcpLink::Connect(const std::string& host, std::uint16_t port)
{
    Close();
    lastFailure_ = ServerFailure::None;
    // A stopped link starts no new connection.
    if (stopToken_.stop_requested()) {
        return Fail(kNotConnected, ServerFailure::Stopped);
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return Fail(kFailed, ServerFailure::NoSocket);
    }
    if (fd == 0) {
        // Callers take a handle below 1 for a failure, so a socket on descriptor 0 is moved.
        int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
        ::close(fd);
        if (moved < 0) {
            return Fail(kFailed, ServerFailure::NoSocket);
        }
        fd = moved;
    }
    socket_ = fd;

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (!IsDottedAddress(host, address.sin_addr)) {
        // The lookup counts against the connection's wait and the deadline, and a stop ends it.
        SteadyClock::time_point until = SteadyClock::now() + Timeout();
        const bool bounded = deadline_ && *deadline_ <= until;
        if (bounded) {
            until = *deadline_;
        }
        switch (NameLookup::Ipv4(host, address.sin_addr, stopToken_, until)) {
        case NameLookup::Result::Found:
            break;
        case NameLookup::Result::NotFound:
            DropSocket();
            return Fail(kNotConnected, ServerFailure::NameNotResolved);
        case NameLookup::Result::Stopped:
            DropSocket();
            return FailWait(WaitResult::Stopped, kNotConnected, ServerFailure::Stopped);
        case NameLookup::Result::TimedOut:
            DropSocket();
            return FailWait(bounded ? WaitResult::DeadlinePassed : WaitResult::TimedOut,
                            kNotConnected,
                            ServerFailure::NameNotResolved);
        }
    }

    ServerFailure failure = ServerFailure::None;
    {
        NonBlockingScope nonBlocking(socket_);
        int started = ::connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        int error = started == 0 ? 0 : errno;
        if (error == EINPROGRESS || error == EINTR) {
            WaitResult wait = WaitFor(POLLOUT, Timeout());
            if (wait == WaitResult::Ready) {
                // Writability also signals a refusal; the pending error tells them apart.
                socklen_t size = sizeof error;
                if (::getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
                    error = errno;
                }
            } else {
                failure = wait == WaitResult::Stopped    ? ServerFailure::Stopped
                    : wait == WaitResult::DeadlinePassed ? ServerFailure::TimeLimit
                                                         : ServerFailure::ConnectTimedOut;
            }
        }
        if (failure == ServerFailure::None && error != 0) {
            failure = error == ECONNREFUSED ? ServerFailure::ConnectionRefused
                : error == ETIMEDOUT        ? ServerFailure::ConnectTimedOut
                                            : ServerFailure::Unreachable;
        }
    }
    if (failure != ServerFailure::None) {
        DropSocket();
        return Fail(kNotConnected, failure);
    }
    return socket_;
}

TcpLink::WaitResult TcpLink::WriteFrame(const char* data, std::size_t length)
{
    unsigned char header[kHeaderLength];
    std::memcpy(header, kFrameMarker, sizeof kFrameMarker);
    header[3] = static_cast<unsigned char>(length >> 24);
    header[4] = static_cast<unsigned char>(length >> 16);
    header[5] = static_cast<unsigned char>(length >> 8);
    header[6] = static_cast<unsigned char>(length);

    // Header and payload leave in one call where the socket takes them, so a small request is one
    // segment; partial sends continue where they stopped.
    iovec pieces[2] = {{header, kHeaderLength}, {const_cast<char*>(data), length}};
    std::size_t first = 0;
    while (first < 2) {
        if (pieces[first].iov_len == 0) {
            ++first;
            continue;
        }
        msghdr message{};
        message.msg_iov = pieces + first;
        message.msg_iovlen = 2 - first;
        ssize_t sent = ::sendmsg(socket_, &message, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (!IsRetryable(errno)) {
                return WaitResult::TimedOut;
            }
            if (WaitResult wait = WaitFor(POLLOUT, Timeout()); wait != WaitResult::Ready) {
                return wait;
            }
            continue;
        }
        std::size_t left = static_cast<std::size_t>(sent);
        while (first < 2 && left >= pieces[first].iov_len) {
            left -= pieces[first].iov_len;
            pieces[first].iov_len = 0;
            ++first;
        }
        if (first < 2) {
            pieces[first].iov_base = static_cast<char*>(pieces[first].iov_base) + left;
            pieces[first].iov_len -= left;
        }
    }
    return WaitResult::Ready;
}

int TcpLink::SendFrame(const char* data, std::int32_t length)
{
    lastFailure_ = ServerFailure::None;
    if (socket_ < 0) {
        return Fail(kNotConnected, ServerFailure::SendFailed);
    }
    if (length < 0 || (length > 0 && data == nullptr)) {
        return Fail(kSendFailed, ServerFailure::SendFailed);
    }
    NonBlockingScope nonBlocking(socket_);
    if (WaitResult wait = WriteFrame(data, static_cast<std::size_t>(length)); wait != WaitResult::Ready) {
        return FailWait(wait, kSendFailed, ServerFailure::SendFailed);
    }
    return length;
}

int TcpLink::ReceiveFrame(std::vector<char>& payload)
{
    payload = {};
    lastFailure_ = ServerFailure::None;
    if (socket_ < 0) {
        return Fail(kNotConnected, ServerFailure::NoReply);
    }
    NonBlockingScope nonBlocking(socket_);
    if (WaitResult wait = WaitFor(POLLIN, Timeout()); wait != WaitResult::Ready) {
        return FailWait(wait, kNoReply, ServerFailure::NoReply);
    }
    std::uint32_t length = 0;
    if (int header = ReceiveHeader(length); header != 0) {
        return header;
    }
    return ReceiveBody(payload, static_cast<std::int32_t>(length));
}

int TcpLink::ReceiveHeader(std::uint32_t& length)
{
    unsigned char header[kHeaderLength];
    std::size_t got = 0;
    WaitResult wait = WaitResult::Ready;
    while (got < kHeaderLength) {
        wait = WaitFor(POLLIN, headerPieceWait);
        if (wait != WaitResult::Ready) {
            break;
        }
        ssize_t received = ::recv(socket_, header + got, kHeaderLength - got, 0);
        if (received > 0) {
            got += static_cast<std::size_t>(received);
        } else if (received < 0 && IsRetryable(errno)) {
            continue;
        } else {
            break;
        }
    }
    // Bytes that cannot begin a frame are no deal server's, however many of them came.
    const bool markerMatches = std::memcmp(header, kFrameMarker, std::min(got, sizeof kFrameMarker)) == 0;
    if (got < kHeaderLength && markerMatches && wait == WaitResult::DeadlinePassed) {
        return Fail(kTimeLimitReached, ServerFailure::TimeLimit);
    }
    if (got == 0) {
        return FailWait(wait, kClosedByPeer, ServerFailure::ClosedWithoutReply);
    }
    if (!markerMatches) {
        return Fail(kBadFrame, ServerFailure::NotDealServer);
    }
    if (got < kHeaderLength) {
        return FailWait(wait, kBadFrame, ServerFailure::ReplyCutShort);
    }
    length = (static_cast<std::uint32_t>(header[3]) << 24) | (static_cast<std::uint32_t>(header[4]) << 16)
        | (static_cast<std::uint32_t>(header[5]) << 8) | static_cast<std::uint32_t>(header[6]);
    // Zero, "negative" (top bit set) and oversized lengths are refused before any allocation.
    if (length == 0 || length > 0x7fffffffU) {
        return Fail(kBadFrame, ServerFailure::NotDealServer);
    }
    if (length > static_cast<std::uint32_t>(kMaxFrameLength)) {
        return Fail(kBadFrame, ServerFailure::ReplyTooLarge);
    }
    return 0;
}

int TcpLink::ReceiveBody(std::vector<char>& payload, std::int32_t length)
{
    std::vector<char> body;
    try {
        body.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        return Fail(kBadFrame, ServerFailure::ReplyTooLarge);
    }
    std::size_t got = 0;
    while (got < body.size()) {
        // Each piece gets the full wait.
        if (WaitResult wait = WaitFor(POLLIN, Timeout()); wait != WaitResult::Ready) {
            return FailWait(wait, kBadFrame, ServerFailure::ReplyCutShort);
        }
        ssize_t received = ::recv(socket_, body.data() + got, body.size() - got, 0);
        if (received > 0) {
            got += static_cast<std::size_t>(received);
        } else if (received < 0 && IsRetryable(errno)) {
            continue;
        } else {
            return Fail(kClosedByPeer, ServerFailure::ReplyCutShort);
        }
    }
    payload = std::move(body);
    return length;
}

int TcpLink::Close()
{
    if (socket_ < 0) {
        return 0;
    }
    int result = ::close(socket_);
    socket_ = -1;
    return result == 0 ? 0 : kClosedByPeer;
}

} // namespace tallyhawk
