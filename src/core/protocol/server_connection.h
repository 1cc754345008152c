#pragma once

#include "core/protocol/tcp_link.h"
#include "core/protocol/wire_message.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>

namespace tallyhawk
{

// The one error the connection raises: the socket library could not start. POSIX sockets need no
// start-up, so nothing here raises it; it stays for callers that handle it.
class SocketLibraryFailure : public std::runtime_error
{
public:
    SocketLibraryFailure()
        : std::runtime_error("WinSock failure")
    { }
};

// The client side of the deal server protocol: the current program version, and the new items of
// one kind after the highest id already held. Each request runs on its own connection, which is
// closed whatever happened. One request at a time; the object takes no lock of its own.
class ServerConnection
{
public:
    static constexpr std::int32_t kPortBeforeConfigure = 8080;
    static constexpr std::int32_t kLinkTimeoutSeconds = 20;

    ServerConnection();
    virtual ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    void Configure(std::string host, std::int32_t port);

    // The server's version text, or nothing.
    std::optional<std::string> FetchVersion();
    // The whole 9001 reply to the item request of `kind` (1 coupons, 2 deals, 3 forum topics), or
    // nothing. `lastId` is the highest id of that kind already held, 0 when none.
    std::unique_ptr<WireMessage> FetchItems(std::int32_t kind, std::int32_t lastId);

    // Ends a running request's waits early (shutdown); the request then gives no result.
    void SetStopToken(std::stop_token token) { link_.SetStopToken(std::move(token)); }

    // The request code of an item kind, or nothing for an unknown kind.
    static std::optional<std::int32_t> RequestCodeForKind(std::int32_t kind);

    const std::optional<std::string>& host() const { return host_; }
    std::int32_t port() const { return port_; }
    // The link's waits can be shortened (tests) through here.
    TcpLink& link() { return link_; }

private:
    // Connects, sends the request and receives the reply into `reply`. False on any failure.
    bool Exchange(const WireMessage& request, WireMessage& reply);

    TcpLink link_;
    std::optional<std::string> host_;
    std::int32_t port_ = kPortBeforeConfigure;
};

} // namespace tallyhawk
