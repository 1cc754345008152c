#pragma once

#include "core/protocol/server_failure.h"
#include "core/protocol/tcp_link.h"
#include "core/protocol/wire_message.h"

#include <chrono>
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
// closed whatever happened. Once connected, a request has requestLimit() as a whole for sending and
// the whole reply, however the single waits go. One request at a time; the object takes no lock of
// its own.
class ServerConnection
{
public:
    static constexpr std::int32_t kPortBeforeConfigure = 8080;
    static constexpr std::int32_t kLinkTimeoutSeconds = 20;
    static constexpr std::chrono::milliseconds kRequestLimit{60000};

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

    // The time a request may take after the connection stood, for the request and the whole reply.
    void SetRequestLimit(std::chrono::milliseconds limit) { requestLimit_ = limit; }
    std::chrono::milliseconds requestLimit() const { return requestLimit_; }

    // Why the last request gave no result; None after one that gave a result, and after an unknown
    // item kind, which asks nothing.
    ServerFailure lastFailure() const { return lastFailure_; }

    // The request code of an item kind, or nothing for an unknown kind.
    static std::optional<std::int32_t> RequestCodeForKind(std::int32_t kind);

    const std::optional<std::string>& host() const { return host_; }
    std::int32_t port() const { return port_; }
    // The link's waits can be shortened (tests) through here.
    TcpLink& link() { return link_; }

private:
    // Connects, sends the request and receives the reply into `reply`. False on any failure, with
    // lastFailure_ set.
    bool Exchange(const WireMessage& request, WireMessage& reply);
    // True for a 9001 reply to `code`; otherwise false with lastFailure_ set.
    bool Answers(const WireMessage& reply, std::int32_t code);

    TcpLink link_;
    std::optional<std::string> host_;
    std::int32_t port_ = kPortBeforeConfigure;
    std::chrono::milliseconds requestLimit_ = kRequestLimit;
    ServerFailure lastFailure_ = ServerFailure::None;
};

} // namespace tallyhawk
