#include "server/deal_server.h"

#include "core/common/status.h"
#include "core/protocol/wire_message.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tallyhawk::server
{

namespace
{

constexpr std::size_t kHeaderLength = 7;
// Every request of the protocol is a code and one number: a longer one is refused like one over the
// frame ceiling of 16 MiB, so a thousand connections can never hold more than a few megabytes.
constexpr std::uint32_t kMaxRequestLength = 4096;
// The loop looks at deadlines and the stop request at least this often.
constexpr int kPollSliceMs = 200;
// After the descriptors ran out, accepting waits this long unless a connection closes sooner.
constexpr std::chrono::seconds kAcceptPause{1};
// What a client still sends after a refusing reply is read and dropped for this long, up to this much.
constexpr std::chrono::seconds kDrainTime{1};
constexpr std::size_t kMaxDrained = 1024 * 1024;

using SteadyClock = std::chrono::steady_clock;

std::vector<char> FrameOf(const std::vector<char>& payload)
{
    std::vector<char> frame = {'<', '!', '>'};
    const auto length = static_cast<std::uint32_t>(payload.size());
    for (int shift = 24; shift >= 0; shift -= 8) {
        frame.push_back(static_cast<char>((length >> shift) & 0xff));
    }
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

} // namespace

struct DealServer::Connection
{
    int fd = -1;
    SteadyClock::time_point deadline;
    std::vector<char> header;
    std::uint32_t length = 0;
    std::vector<char> payload;
    bool requestDone = false; // read whole, waiting for room to answer
    std::vector<char> out;
    std::size_t sent = 0;
    bool replying = false;
    bool drainAfter = false; // the reply went before the whole frame was read
    bool draining = false;
    std::size_t drained = 0;
};

DealServer::DealServer(const RequestAnswer& answer, Options options)
    : answer_(answer)
    , options_(std::move(options))
{ }

DealServer::~DealServer()
{
    for (Connection& connection : connections_) {
        ::close(connection.fd);
    }
    for (int fd : {listener_, wake_[0], wake_[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

std::optional<std::string> DealServer::Listen()
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(options_.port);
    if (::inet_pton(AF_INET, options_.host.c_str(), &address.sin_addr) != 1) {
        return "the address " + options_.host + " is not a dotted IPv4 address";
    }
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener_ < 0 || ::pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) {
        return std::string("no socket: ") + std::strerror(errno);
    }
    int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener_, SOMAXCONN) != 0) {
        return "cannot listen on " + options_.host + ":" + std::to_string(options_.port) + ": "
            + std::strerror(errno);
    }
    socklen_t size = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    return std::nullopt;
}

void DealServer::QueueReply(Connection& connection, const std::vector<char>& payload, bool drainAfter)
{
    connection.out = FrameOf(payload);
    connection.sent = 0;
    connection.replying = true;
    connection.drainAfter = drainAfter;
    heldBytes_ += connection.out.size();
    // The request is done with; nothing more is read.
    connection.payload.clear();
    connection.payload.shrink_to_fit();
}

void DealServer::Close(Connection& connection)
{
    heldBytes_ -= connection.out.size();
    connection.out.clear();
    ::close(connection.fd);
    connection.fd = -1;
    // A descriptor is free again.
    acceptPausedUntil_.reset();
}

void DealServer::Accept(SteadyClock::time_point now)
{
    while (true) {
        int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // The waiting connection stays queued and the listener stays readable: polling it now
                // would spin.
                acceptPausedUntil_ = now + kAcceptPause;
            }
            return; // nothing more waiting (or a transient error: the next poll tries again)
        }
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (options_.sendBuffer > 0) {
            ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &options_.sendBuffer, sizeof options_.sendBuffer);
        }
        Connection connection;
        connection.fd = fd;
        connection.deadline = now + options_.connectionLimit;
        if (connections_.size() >= options_.maxConnections) {
            // Full: say so in one write, as far as the socket takes it, and close.
            std::vector<char> frame = FrameOf(RequestAnswer::Error(0, kErrorBusy));
            [[maybe_unused]] ssize_t ignored = ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL);
            ::close(fd);
            continue;
        }
        connections_.push_back(std::move(connection));
    }
}

bool DealServer::Receive(Connection& connection)
{
    char buffer[16384];
    while (!connection.replying && !connection.requestDone) {
        std::size_t wanted = sizeof buffer;
        if (connection.header.size() < kHeaderLength) {
            wanted = kHeaderLength - connection.header.size();
        } else {
            wanted = std::min<std::size_t>(wanted, connection.length - connection.payload.size());
        }
        ssize_t got = ::recv(connection.fd, buffer, wanted, 0);
        if (got == 0) {
            return false; // the client left
        }
        if (got < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
        if (connection.header.size() < kHeaderLength) {
            connection.header.insert(connection.header.end(), buffer, buffer + got);
            if (connection.header.size() < kHeaderLength) {
                continue;
            }
            if (std::memcmp(connection.header.data(), "<!>", 3) != 0) {
                QueueReply(connection, RequestAnswer::Error(0, kErrorMalformed), true);
                break;
            }
            std::uint32_t length = 0;
            for (std::size_t i = 3; i < kHeaderLength; ++i) {
                length = (length << 8) | static_cast<unsigned char>(connection.header[i]);
            }
            if (length == 0 || length > kMaxRequestLength) {
                // Refused before anything is allocated for it.
                QueueReply(connection,
                           RequestAnswer::Error(0, length == 0 ? kErrorMalformed : kErrorFrameTooLarge),
                           length != 0);
                break;
            }
            connection.length = length;
            continue;
        }
        connection.payload.insert(connection.payload.end(), buffer, buffer + got);
        if (connection.payload.size() == connection.length) {
            connection.requestDone = true;
            AnswerWhenRoom(connection);
        }
    }
    return true;
}

void DealServer::AnswerWhenRoom(Connection& connection)
{
    if (connection.requestDone && !connection.replying && heldBytes_ < options_.maxHeldBytes) {
        QueueReply(connection, answer_.Answer(connection.payload));
    }
}

bool DealServer::Send(Connection& connection)
{
    while (connection.sent < connection.out.size()) {
        ssize_t wrote = ::send(connection.fd,
                               connection.out.data() + connection.sent,
                               connection.out.size() - connection.sent,
                               MSG_NOSIGNAL);
        if (wrote < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
        connection.sent += static_cast<std::size_t>(wrote);
    }
    heldBytes_ -= connection.out.size();
    connection.out.clear();
    connection.out.shrink_to_fit();
    if (!connection.drainAfter) {
        return false; // all sent: the exchange is over
    }
    // Closing with the rest of the client's frame unread would reset the connection, and the reset can
    // overtake the reply: say we are done, and read what still comes until the client closes.
    ::shutdown(connection.fd, SHUT_WR);
    connection.draining = true;
    connection.deadline = std::min(connection.deadline, SteadyClock::now() + kDrainTime);
    return Drain(connection);
}

bool DealServer::Drain(Connection& connection)
{
    char buffer[16384];
    while (connection.drained < kMaxDrained) {
        ssize_t got = ::recv(connection.fd, buffer, sizeof buffer, 0);
        if (got == 0) {
            return false;
        }
        if (got < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
        connection.drained += static_cast<std::size_t>(got);
    }
    return false;
}

short DealServer::EventsOf(const Connection& connection) const
{
    if (connection.draining) {
        return POLLIN;
    }
    if (connection.replying) {
        return POLLOUT;
    }
    return connection.requestDone ? 0 : POLLIN;
}

void DealServer::Run(std::stop_token stop)
{
    std::stop_callback wakeOnStop(stop,
                                  [this] { [[maybe_unused]] ssize_t ignored = ::write(wake_[1], "x", 1); });
    std::vector<pollfd> polled;
    while (!stop.stop_requested()) {
        if (acceptPausedUntil_ && SteadyClock::now() >= *acceptPausedUntil_) {
            acceptPausedUntil_.reset();
        }
        polled.clear();
        polled.push_back({wake_[0], POLLIN, 0});
        // A negative descriptor is left out of the poll.
        polled.push_back({acceptPausedUntil_ ? -1 : listener_, POLLIN, 0});
        for (const Connection& connection : connections_) {
            polled.push_back({connection.fd, EventsOf(connection), 0});
        }
        if (::poll(polled.data(), polled.size(), kPollSliceMs) < 0 && errno != EINTR) {
            return;
        }
        const SteadyClock::time_point now = SteadyClock::now();
        // Connections accepted below are not in `polled`; only the first `served` are looked at.
        const std::size_t served = connections_.size();
        std::vector<bool> keep(served, true);
        for (std::size_t i = 0; i < served; ++i) {
            Connection& connection = connections_[i];
            const short events = polled[i + 2].revents;
            if (events & (POLLERR | POLLNVAL)) {
                keep[i] = false;
            } else if (connection.draining) {
                keep[i] = !(events & (POLLIN | POLLHUP)) || Drain(connection);
            } else if (connection.replying && (events & (POLLOUT | POLLHUP))) {
                keep[i] = Send(connection);
            } else if (!connection.replying && !connection.requestDone && (events & (POLLIN | POLLHUP))) {
                keep[i] = Receive(connection);
                if (keep[i] && connection.replying) {
                    keep[i] = Send(connection);
                }
            } else if (connection.requestDone && !connection.replying) {
                // Waited for room, which replies sent or dropped (on this pass too) may have made.
                AnswerWhenRoom(connection);
                if (connection.replying) {
                    keep[i] = Send(connection);
                }
            }
            if (keep[i] && now >= connection.deadline) {
                keep[i] = false; // too slow or silent: the others must not wait for it
            }
            if (!keep[i]) {
                Close(connection);
            }
        }
        std::size_t kept = 0;
        for (std::size_t i = 0; i < connections_.size(); ++i) {
            if (i < served && !keep[i]) {
                continue;
            }
            if (kept != i) {
                connections_[kept] = std::move(connections_[i]);
            }
            ++kept;
        }
        connections_.resize(kept);
        if (polled[1].revents & POLLIN) {
            Accept(now);
        }
        if (polled[0].revents & POLLIN) {
            char drain[16];
            while (::read(wake_[0], drain, sizeof drain) > 0) {
            }
        }
    }
}

} // namespace tallyhawk::server
