#include "core/protocol/server_connection.h"

#include "core/common/item_kind.h"

namespace tallyhawk
{

ServerConnection::ServerConnection()
{
    link_.timeoutSeconds = kLinkTimeoutSeconds;
}

ServerConnection::~ServerConnection() = default;

void ServerConnection::Configure(std::string host, std::int32_t port)
{
    host_ = std::move(host);
    port_ = port;
}

std::optional<std::int32_t> ServerConnection::RequestCodeForKind(std::int32_t kind)
{
    switch (kind) {
    case KindNumber(ItemKind::Coupon):
        return RequestCoupons;
    case KindNumber(ItemKind::Deal):
        return RequestDeals;
    case KindNumber(ItemKind::Topic):
        return RequestForumTopics;
    default:
        return std::nullopt;
    }
}

bool ServerConnection::Exchange(const WireMessage& request, WireMessage& reply)
{
    link_.Close();
    lastFailure_ = ServerFailure::None;
    // No host yet, or a port that cannot be one: there is nothing to connect to.
    if (!host_ || port_ < 1 || port_ > 65535) {
        lastFailure_ = ServerFailure::NotConfigured;
        return false;
    }
    bool ok = link_.Connect(*host_, static_cast<std::uint16_t>(port_)) >= 1;
    if (ok) {
        // A server that sends a byte now and then must not keep the request going for minutes.
        link_.SetDeadline(std::chrono::steady_clock::now() + requestLimit_);
        ok = request.SendOn(link_) >= 1;
        if (ok) {
            int received = reply.ReceiveFrom(link_);
            ok = received >= 1;
            if (received == kFieldAbsent) {
                // A frame whose payload is no message.
                lastFailure_ = ServerFailure::NotDealServer;
            }
        }
        link_.ClearDeadline();
    }
    if (!ok && lastFailure_ == ServerFailure::None) {
        lastFailure_ = link_.lastFailure();
    }
    link_.Close();
    return ok;
}

bool ServerConnection::Answers(const WireMessage& reply, std::int32_t code)
{
    if (reply.code() == ReplyOk && reply.FieldNumber(1) == code) {
        return true;
    }
    // A 9002 reply carries an error number in field 2 that the client has no use for.
    lastFailure_ = reply.code() == ReplyError ? ServerFailure::ErrorReply
        : reply.code() == ReplyOk             ? ServerFailure::OtherReply
                                              : ServerFailure::NotDealServer;
    return false;
}

std::optional<std::string> ServerConnection::FetchVersion()
{
    WireMessage request;
    request.Reset(RequestVersion);
    WireMessage reply;
    if (!Exchange(request, reply) || !Answers(reply, RequestVersion)) {
        return std::nullopt;
    }
    std::optional<std::string> version = reply.FieldText(2);
    if (!version) {
        lastFailure_ = ServerFailure::OtherReply;
    }
    return version;
}

std::unique_ptr<WireMessage> ServerConnection::FetchItems(std::int32_t kind, std::int32_t lastId)
{
    lastFailure_ = ServerFailure::None;
    std::optional<std::int32_t> code = RequestCodeForKind(kind);
    if (!code) {
        link_.Close();
        return nullptr;
    }
    WireMessage request;
    request.Reset(*code);
    request.AppendNumber(lastId);
    auto reply = std::make_unique<WireMessage>();
    if (!Exchange(request, *reply) || !Answers(*reply, *code)) {
        return nullptr;
    }
    return reply;
}

} // namespace tallyhawk
