#include "core/protocol/tcp_link.h"

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
bool ResolveIpv4(const std::string& host, in_addr& address)
{
    if (ScansAsDotted(host) && ::inet_aton(host.c_str(), &address) != 0) {
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
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
    const SteadyClock::time_point deadline = SteadyClock::now() + limit;
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
            return WaitResult::TimedOut;
        }
    }
    return WaitResult::TimedOut;
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
    // A stopped link starts no new connection.
    if (stopToken_.stop_requested()) {
        return kNotConnected;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return kFailed;
    }
    if (fd == 0) {
        // Callers take a handle below 1 for a failure, so a socket on descriptor 0 is moved.
        int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
        ::close(fd);
        if (moved < 0) {
            return kFailed;
        }
        fd = moved;
    }
    socket_ = fd;

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (!ResolveIpv4(host, address.sin_addr)) {
        DropSocket();
        return kNotConnected;
    }

    bool connected = false;
    {
        NonBlockingScope nonBlocking(socket_);
        int started = ::connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (started == 0) {
            connected = true;
        } else if (errno == EINPROGRESS || errno == EINTR) {
            if (WaitFor(POLLOUT, Timeout()) == WaitResult::Ready) {
                // Writability also signals a refusal; the pending error tells them apart.
                int error = 0;
                socklen_t size = sizeof error;
                connected = ::getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
            }
        }
    }
    if (!connected) {
        DropSocket();
        return kNotConnected;
    }
    return socket_;
}

int TcpLink::WriteFrame(const char* data, std::size_t length)
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
            if (IsRetryable(errno) && WaitFor(POLLOUT, Timeout()) == WaitResult::Ready) {
                continue;
            }
            return kSendFailed;
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
    return 0;
}

int TcpLink::SendFrame(const char* data, std::int32_t length)
{
    if (socket_ < 0) {
        return kNotConnected;
    }
    if (length < 0 || (length > 0 && data == nullptr)) {
        return kSendFailed;
    }
    NonBlockingScope nonBlocking(socket_);
    if (WriteFrame(data, static_cast<std::size_t>(length)) != 0) {
        return kSendFailed;
    }
    return length;
}

int TcpLink::ReceiveFrame(std::vector<char>& payload)
{
    payload = {};
    if (socket_ < 0) {
        return kNotConnected;
    }
    NonBlockingScope nonBlocking(socket_);
    if (WaitFor(POLLIN, Timeout()) != WaitResult::Ready) {
        return kNoReply;
    }

    unsigned char header[kHeaderLength];
    std::size_t got = 0;
    while (got < kHeaderLength) {
        if (WaitFor(POLLIN, headerPieceWait) != WaitResult::Ready) {
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
    if (got == 0) {
        return kClosedByPeer;
    }
    if (got < kHeaderLength || std::memcmp(header, kFrameMarker, sizeof kFrameMarker) != 0) {
        return kBadFrame;
    }
    const std::uint32_t length = (static_cast<std::uint32_t>(header[3]) << 24)
        | (static_cast<std::uint32_t>(header[4]) << 16) | (static_cast<std::uint32_t>(header[5]) << 8)
        | static_cast<std::uint32_t>(header[6]);
    // Zero, "negative" (top bit set) and oversized lengths are refused before any allocation.
    if (length == 0 || length > static_cast<std::uint32_t>(kMaxFrameLength)) {
        return kBadFrame;
    }
    return ReceiveBody(payload, static_cast<std::int32_t>(length));
}

int TcpLink::ReceiveBody(std::vector<char>& payload, std::int32_t length)
{
    std::vector<char> body;
    try {
        body.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        return kBadFrame;
    }
    std::size_t got = 0;
    while (got < body.size()) {
        // Each piece gets the full wait.
        if (WaitFor(POLLIN, Timeout()) != WaitResult::Ready) {
            return kBadFrame;
        }
        ssize_t received = ::recv(socket_, body.data() + got, body.size() - got, 0);
        if (received > 0) {
            got += static_cast<std::size_t>(received);
        } else if (received < 0 && IsRetryable(errno)) {
            continue;
        } else {
            return kClosedByPeer;
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
