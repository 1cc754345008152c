#include "server/deadline_stream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tallyhawk::server
{

namespace
{

constexpr std::chrono::milliseconds kSlice{100};
constexpr std::size_t kBufferSize = 4096;

void AddressOf(const sockaddr_storage& address, std::string& ip, int& port)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    }
    ip = text;
}

} // namespace

DeadlineStream::DeadlineStream(int fd, const std::atomic<bool>& stopping)
    : fd_(fd)
    , stopping_(stopping)
    , deadline_(Clock::now())
    , buffer_(kBufferSize)
{ }

bool DeadlineStream::Wait(short events) const
{
    while (!stopping_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd polled{fd_, events, 0};
        const int ready = ::poll(&polled, 1, static_cast<int>(std::min(left, kSlice).count()));
        if (ready > 0) {
            // A hang-up or error is for the read or write to find out.
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
    return false;
}

bool DeadlineStream::is_readable() const
{
    return BufferedBytes() > 0 || Wait(POLLIN);
}

bool DeadlineStream::is_writable() const
{
    return Wait(POLLOUT);
}

ssize_t DeadlineStream::read(char* ptr, size_t size)
{
    while (BufferedBytes() == 0) {
        if (!Wait(POLLIN)) {
            return -1;
        }
        const ssize_t got = ::recv(fd_, buffer_.data(), buffer_.size(), MSG_DONTWAIT);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            continue;
        }
        if (got <= 0) {
            return got;
        }
        filled_ = static_cast<std::size_t>(got);
        taken_ = 0;
    }
    const std::size_t count = std::min(size, BufferedBytes());
    std::memcpy(ptr, buffer_.data() + taken_, count);
    taken_ += count;
    return static_cast<ssize_t>(count);
}

ssize_t DeadlineStream::write(const char* ptr, size_t size)
{
    while (Wait(POLLOUT)) {
        const ssize_t wrote = ::send(fd_, ptr, size, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (wrote >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            return wrote;
        }
    }
    return -1;
}

void DeadlineStream::get_remote_ip_and_port(std::string& ip, int& port) const
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        AddressOf(address, ip, port);
    }
}

void DeadlineStream::get_local_ip_and_port(std::string& ip, int& port) const
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        AddressOf(address, ip, port);
    }
}

} // namespace tallyhawk::server
