#pragma once

#include "support/loopback_server.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tallyhawk::test
{

// An https server on 127.0.0.1 with a certificate it made for itself at start (for 127.0.0.1, valid
// from an hour ago to an hour ahead): no system's store trusts it. A client that gets through the
// handshake anyway is answered with a small 200 page.
class TlsTestServer
{
public:
    TlsTestServer();
    ~TlsTestServer();
    TlsTestServer(const TlsTestServer&) = delete;
    TlsTestServer& operator=(const TlsTestServer&) = delete;

    // "https://127.0.0.1:PORT" followed by target.
    std::string Url(std::string_view target = "/") const;
    int connectionsAccepted() const { return server_->connectionsAccepted(); }
    int handshakesCompleted() const { return handshakes_.load(); }

private:
    struct Context;

    void Serve(LoopbackPeer& peer);

    std::unique_ptr<Context> context_;
    std::atomic<int> handshakes_{0};
    // Made last and stopped first, so no connection outlives the context.
    std::unique_ptr<LoopbackServer> server_;
};

} // namespace tallyhawk::test
