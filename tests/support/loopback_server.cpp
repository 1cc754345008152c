#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace tallyhawk::test
{
namespace
{

using Clock = std::chrono::steady_clock;

bool WakeSignalled(int wakeFd)
{
    pollfd entry{wakeFd, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
}

} // namespace

LoopbackPeer::LoopbackPeer(int fd, int wakeFd, int sequence)
    : fd_(fd)
    , wakeFd_(wakeFd)
    , sequence_(sequence)
{
    int flags = ::fcntl(fd_, F_GETFL);
    ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
}

LoopbackPeer::~LoopbackPeer()
{
    Close();
}

bool LoopbackPeer::stopping() const
{
    return WakeSignalled(wakeFd_);
}

bool LoopbackPeer::WaitFor(short events, std::chrono::milliseconds limit)
{
    const Clock::time_point deadline = Clock::now() + limit;
    for (;;) {
        auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (remaining.count() < 0) {
            remaining = std::chrono::milliseconds(0);
        }
        pollfd entries[2] = {{fd_, events, 0}, {wakeFd_, POLLIN, 0}};
        int ready = ::poll(entries, 2, static_cast<int>(remaining.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0 || entries[1].revents != 0) {
            return false;
        }
        return true;
    }
}

std::string LoopbackPeer::Read(std::size_t count, std::chrono::milliseconds pieceWait)
{
    std::string data;
    char chunk[65536];
    while (fd_ >= 0 && data.size() < count && WaitFor(POLLIN, pieceWait)) {
        ssize_t got = ::recv(fd_, chunk, std::min(sizeof chunk, count - data.size()), 0);
        if (got > 0) {
            data.append(chunk, static_cast<std::size_t>(got));
        } else if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        } else {
            break;
        }
    }
    return data;
}

bool LoopbackPeer::Write(std::string_view bytes)
{
    while (fd_ >= 0 && !bytes.empty()) {
        ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && (errno == EINTR || errno == EAGAIN)) {
            if (!WaitFor(POLLOUT, std::chrono::hours(1))) {
                return false;
            }
        } else {
            return false;
        }
    }
    return fd_ >= 0;
}

bool LoopbackPeer::Pause(std::chrono::milliseconds duration)
{
    pollfd entry{wakeFd_, POLLIN, 0};
    const Clock::time_point deadline = Clock::now() + duration;
    for (;;) {
        auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (remaining.count() <= 0) {
            return true;
        }
        int ready = ::poll(&entry, 1, static_cast<int>(remaining.count()));
        if (ready > 0) {
            return false;
        }
    }
}

void LoopbackPeer::WaitUntilStopped()
{
    pollfd entry{wakeFd_, POLLIN, 0};
    while (::poll(&entry, 1, -1) <= 0) {
    }
}

void LoopbackPeer::Close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

LoopbackServer::LoopbackServer(Handler handler)
    : handler_(std::move(handler))
{
    if (::pipe2(wakePipe_, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot make the wake pipe");
    }
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof address;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listenFd_, 16) != 0
        || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        Stop();
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer()
{
    Stop();
}

void LoopbackServer::Stop()
{
    if (wakePipe_[1] >= 0) {
        char signal = 'x';
        while (::write(wakePipe_[1], &signal, 1) < 0 && errno == EINTR) {
        }
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    for (std::thread& connection : connections_) {
        connection.join();
    }
    connections_.clear();
    for (int* fd : {&listenFd_, &wakePipe_[0], &wakePipe_[1]}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

void LoopbackServer::Serve()
{
    for (;;) {
        pollfd entries[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        int ready = ::poll(entries, 2, -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0 || entries[1].revents != 0) {
            return;
        }
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        const int sequence = accepted_++;
        connections_.emplace_back([this, fd, sequence] {
            LoopbackPeer peer(fd, wakePipe_[0], sequence);
            handler_(peer);
        });
    }
}

} // namespace tallyhawk::test
