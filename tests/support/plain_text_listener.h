#pragma once

#include "support/loopback_server.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tallyhawk::test
{

// A TCP listener on 127.0.0.1 that answers whatever comes with a plain "HTTP/1.1 400 Bad Request" and
// closes after the client: no TLS server, so an https attempt on it fails in the handshake.
class PlainTextListener
{
public:
    PlainTextListener();

    std::uint16_t port() const { return server_.port(); }
    int connectionsAccepted() const { return server_.connectionsAccepted(); }
    // "SCHEME://127.0.0.1:PORT/page", the scheme as given.
    std::string Url(std::string_view scheme) const;

private:
    LoopbackServer server_;
};

} // namespace tallyhawk::test
