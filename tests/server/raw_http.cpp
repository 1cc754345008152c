#include "raw_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tallyhawk::test
{

namespace
{

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// True when `text` holds a whole response: headers and as many body bytes as they announce.
bool WholeResponse(const std::string& text)
{
    const std::size_t end = text.find("\r\n\r\n");
    if (end == std::string::npos) {
        return false;
    }
    std::size_t length = 0;
    for (const char* name : {"Content-Length: ", "content-length: "}) {
        if (std::size_t at = text.find(name); at != std::string::npos && at < end) {
            length = std::strtoul(text.c_str() + at + 16, nullptr, 10);
        }
    }
    return text.size() >= end + 4 + length;
}

} // namespace

RawHttp::RawHttp(std::uint16_t port)
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && errno != EINPROGRESS) {
        ::close(fd_);
        fd_ = -1;
    }
}

RawHttp::~RawHttp()
{
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool RawHttp::WaitConnected(std::chrono::milliseconds wait)
{
    pollfd polled{fd_, POLLOUT, 0};
    if (fd_ < 0 || ::poll(&polled, 1, static_cast<int>(wait.count())) != 1) {
        return false;
    }
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

bool RawHttp::Send(std::string_view bytes)
{
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!bytes.empty()) {
        const ssize_t wrote = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (wrote > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(wrote));
            continue;
        }
        pollfd polled{fd_, POLLOUT, 0};
        if (wrote < 0 && errno != EAGAIN) {
            return false;
        }
        if (::poll(&polled, 1, MillisecondsLeft(deadline)) != 1) {
            return false;
        }
    }
    return true;
}

std::string RawHttp::ReadResponse(std::chrono::milliseconds wait)
{
    const auto deadline = Clock::now() + wait;
    std::string text;
    while (!WholeResponse(text)) {
        pollfd polled{fd_, POLLIN, 0};
        if (::poll(&polled, 1, MillisecondsLeft(deadline)) != 1) {
            break;
        }
        char buffer[8192];
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
        if (got <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

bool RawHttp::ClosedWithin(std::chrono::milliseconds wait)
{
    const auto deadline = Clock::now() + wait;
    while (true) {
        pollfd polled{fd_, POLLIN, 0};
        if (::poll(&polled, 1, MillisecondsLeft(deadline)) != 1) {
            return false;
        }
        char buffer[8192];
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && errno != EAGAIN)) {
            return true;
        }
    }
}

int StatusOf(const std::string& response)
{
    if (response.rfind("HTTP/1.", 0) != 0 || response.size() < 12) {
        return 0;
    }
    return std::atoi(response.c_str() + 9);
}

std::string Get(std::uint16_t port, std::string_view path, std::chrono::milliseconds wait)
{
    RawHttp connection(port);
    if (!connection.WaitConnected(wait)) {
        return {};
    }
    connection.Send("GET " + std::string(path) + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    return connection.ReadResponse(wait);
}

} // namespace tallyhawk::test
