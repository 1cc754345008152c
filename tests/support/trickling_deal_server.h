#pragma once

#include "support/loopback_server.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace tallyhawk::test
{

// A deal server on 127.0.0.1 that reads each request and then sends one well-formed reply frame one
// byte at a time, `interval` apart: every single wait of the client is met, while the whole reply takes
// (7 + payload length) intervals. The destructor stops it promptly.
class TricklingDealServer
{
public:
    TricklingDealServer(std::string_view payload, std::chrono::milliseconds interval);

    std::uint16_t port() const { return server_.port(); }
    int connectionsAccepted() const { return server_.connectionsAccepted(); }
    // How long one whole reply takes to go out.
    std::chrono::milliseconds FullReplyTime() const;

private:
    void Serve(LoopbackPeer& peer);

    std::string frame_;
    std::chrono::milliseconds interval_;
    // Last member: its threads start serving once everything above exists.
    LoopbackServer server_;
};

} // namespace tallyhawk::test
