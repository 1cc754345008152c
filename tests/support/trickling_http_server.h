#pragma once

#include "support/test_http_server.h"

#include <chrono>
#include <string>

namespace tallyhawk::test
{

// An HTTP server on 127.0.0.1 that answers one byte at a time, `interval` apart, status line and
// headers included: the client never waits long for a byte, while a whole answer takes its size in
// intervals. "/page" is a 200 page, "/moved" a redirect to "/page" that trickles as well.
class TricklingHttpServer
{
public:
    explicit TricklingHttpServer(std::chrono::milliseconds interval, std::size_t bodyBytes = 2000);

    std::string PageUrl() const { return server_.Url("/page"); }
    std::string RedirectUrl() const { return server_.Url("/moved"); }
    std::size_t RequestCount() const { return server_.RequestCount(); }
    // How long the whole "/page" answer takes to go out.
    std::chrono::milliseconds FullPageTime() const;

private:
    std::chrono::milliseconds interval_;
    std::size_t pageBytes_ = 0;
    TestHttpServer server_;
};

} // namespace tallyhawk::test
