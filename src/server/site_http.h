#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstddef>

namespace tallyhawk::server
{

// cpp-httplib's server with the site's bounds: each request (headers, body and answer) within a
// deadline, at most maxConnections held at once (the rest answered 503 at once), a listening backlog
// that takes a burst as large, and a stop that ends every connection within a fraction of a second.
class SiteHttp : public httplib::Server
{
public:
    struct Limits
    {
        std::chrono::milliseconds requestDeadline{5000};
        std::size_t maxConnections = 1000;
        std::size_t workers = 32;
    };

    explicit SiteHttp(Limits limits);

    // After a bind: lets the listening socket queue as many connections as are served.
    bool WidenBacklog();
    // Stops listening and ends the connections being served.
    void StopAll();
    // The connection whose request is being handled on this thread closes after its answer.
    static void CloseAfterAnswer();

private:
    bool process_and_close_socket(socket_t sock) override;
    void Refuse(socket_t sock);

    Limits limits_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> listener_{-1};
};

} // namespace tallyhawk::server
