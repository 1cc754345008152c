#include "server/site_http.h"

#include "server/deadline_stream.h"
#include "server/site_pool.h"

#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <string_view>

namespace tallyhawk::server
{

namespace
{

// Requests one connection may make before it is closed; each has the whole deadline.
constexpr std::size_t kRequestsPerConnection = 100;

thread_local bool t_closeAfterAnswer = false;

} // namespace

SiteHttp::SiteHttp(Limits limits)
    : limits_(limits)
{
    new_task_queue = [this] {
        return new SitePool(limits_.workers, limits_.maxConnections);
    };
    // The library listens with a backlog of 5; the socket is taken here so WidenBacklog can raise it.
    set_socket_options([this](socket_t sock) {
        int on = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        listener_ = sock;
    });
}

bool SiteHttp::WidenBacklog()
{
    // Listening again on a listening socket changes only its backlog.
    const int backlog = static_cast<int>(std::min<std::size_t>(limits_.maxConnections, INT_MAX));
    return listener_ >= 0 && ::listen(listener_, backlog) == 0;
}

void SiteHttp::StopAll()
{
    stopping_ = true;
    stop();
}

void SiteHttp::CloseAfterAnswer()
{
    t_closeAfterAnswer = true;
}

void SiteHttp::Refuse(socket_t sock)
{
    constexpr std::string_view kBusy = "HTTP/1.1 503 Service Unavailable\r\n"
                                       "Content-Type: text/plain\r\n"
                                       "Content-Length: 33\r\n"
                                       "Connection: close\r\n"
                                       "\r\n"
                                       "The site is busy; try again soon.";
    // As far as the socket takes it without waiting: the accepting thread must not be held up.
    [[maybe_unused]] ssize_t ignored = ::send(sock, kBusy.data(), kBusy.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
}

bool SiteHttp::process_and_close_socket(socket_t sock)
{
    if (SitePool::Refusing() || stopping_) {
        Refuse(sock);
        return false;
    }
    DeadlineStream stream(sock, stopping_);
    bool served = true;
    for (std::size_t left = kRequestsPerConnection; left > 0 && !stopping_; --left) {
        // The wait for the request counts in its deadline, so an idle connection goes too.
        stream.SetDeadline(DeadlineStream::Clock::now() + limits_.requestDeadline);
        if (!stream.WaitForRequest()) {
            break;
        }
        t_closeAfterAnswer = false;
        bool closed = false;
        served = process_request(stream, left == 1, closed, nullptr);
        if (!served || closed || t_closeAfterAnswer) {
            break;
        }
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return served;
}

} // namespace tallyhawk::server
