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
    // No host yet, or a port that cannot be one: there is nothing to connect to.
    if (!host_ || port_ < 1 || port_ > 65535) {
        return false;
    }
    bool ok = link_.Connect(*host_, static_cast<std::uint16_t>(port_)) >= 1 && request.SendOn(link_) >= 1
        && reply.ReceiveFrom(link_) >= 1;
    link_.Close();
    return ok;
}

std::optional<std::string> ServerConnection::FetchVersion()
{
    WireMessage request;
    request.Reset(RequestVersion);
    WireMessage reply;
    if (!Exchange(request, reply)) {
        return std::nullopt;
    }
    // A 9002 reply carries an error number in field 2 that the client has no use for.
    if (reply.code() != ReplyOk || reply.FieldNumber(1) != RequestVersion) {
        return std::nullopt;
    }
    return reply.FieldText(2);
}

std::unique_ptr<WireMessage> ServerConnection::FetchItems(std::int32_t kind, std::int32_t lastId)
{
    std::optional<std::int32_t> code = RequestCodeForKind(kind);
    if (!code) {
        link_.Close();
        return nullptr;
    }
    WireMessage request;
    request.Reset(*code);
    request.AppendNumber(lastId);
    auto reply = std::make_unique<WireMessage>();
    if (!Exchange(request, *reply)) {
        return nullptr;
    }
    if (reply->code() != ReplyOk || reply->FieldNumber(1) != *code) {
        return nullptr;
    }
    return reply;
}

} // namespace tallyhawk
