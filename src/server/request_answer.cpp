#include "server/request_answer.h"

#include "core/common/item_kind.h"
#include "core/protocol/wire_message.h"
#include "server/item_database.h"

namespace tallyhawk::server
{

namespace
{

std::vector<char> PayloadOf(const WireMessage& message)
{
    return message.payload();
}

// The item kind a request code asks for; 0 for another code.
std::int32_t KindOfRequest(std::int32_t code)
{
    switch (code) {
    case RequestCoupons:
        return KindNumber(ItemKind::Coupon);
    case RequestDeals:
        return KindNumber(ItemKind::Deal);
    case RequestForumTopics:
        return KindNumber(ItemKind::Topic);
    default:
        return 0;
    }
}

// Field text must not hold the terminator, and an empty field reads as absent anyway.
std::string FieldSafe(const std::string& text)
{
    std::string safe = text;
    for (std::size_t at = safe.find("<~>"); at != std::string::npos; at = safe.find("<~>", at)) {
        safe.replace(at, 3, "<->");
    }
    return safe;
}

} // namespace

RequestAnswer::RequestAnswer(ItemDatabase& items, std::string version)
    : items_(items)
    , version_(std::move(version))
{ }

std::vector<char> RequestAnswer::Error(std::int32_t requestCode, std::int32_t error)
{
    WireMessage reply;
    reply.Reset(ReplyError);
    reply.AppendNumber(requestCode);
    reply.AppendNumber(error);
    return PayloadOf(reply);
}

std::vector<char> RequestAnswer::Answer(const std::vector<char>& request) const
{
    WireMessage message;
    if (message.AssignPayload(request) < 4 || message.code() <= 0) {
        return Error(0, kErrorMalformed);
    }
    const std::int32_t code = message.code();
    WireMessage reply;
    reply.Reset(ReplyOk);
    if (code == RequestVersion) {
        reply.AppendNumber(code);
        reply.AppendText(FieldSafe(version_));
        return PayloadOf(reply);
    }
    const std::int32_t kind = KindOfRequest(code);
    if (kind == 0) {
        return Error(code, kErrorUnknownRequest);
    }
    const std::int32_t afterId = message.FieldNumber(1);
    if (afterId < 0) { // absent (-16) or a negative id
        return Error(code, kErrorMalformed);
    }
    std::vector<ServerItem> items = items_.ItemsAfter(kind, afterId, kMaxItemsPerReply);
    reply.AppendNumber(code);
    reply.AppendNumber(static_cast<std::int64_t>(items.size()));
    for (const ServerItem& item : items) {
        reply.AppendNumber(item.id);
        reply.AppendNumber(item.kind);
        reply.AppendNumber(item.storeId);
        reply.AppendNumber(item.categoryId);
        reply.AppendNumber(item.date);
        reply.AppendNumber(item.hot);
        reply.AppendText(FieldSafe(item.title));
        reply.AppendText(FieldSafe(item.description));
        reply.AppendText(FieldSafe(item.extra));
        reply.AppendText(FieldSafe(item.storeName));
        reply.AppendText(FieldSafe(item.categoryName));
    }
    return PayloadOf(reply);
}

} // namespace tallyhawk::server
