#include "server/request_answer.h"

#include "core/common/item_kind.h"
#include "core/protocol/wire_message.h"
#include "server/item_store.h"
#include "server/server_log.h"

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

// The bytes an item takes in a reply: its texts, six numbers of at most 11 characters, eleven
// terminators.
std::size_t ReplyBytes(const ServerItem& item)
{
    return item.title.size() + item.description.size() + item.extra.size() + item.storeName.size()
        + item.categoryName.size() + 6 * 11 + 11 * 3;
}

// How many of the items, from the first, fit in a reply; at least one, so a client always moves on.
std::size_t ItemsThatFit(const std::vector<ServerItem>& items)
{
    std::size_t bytes = 64;
    std::size_t count = 0;
    while (count < items.size()
           && (count == 0 || bytes + ReplyBytes(items[count]) <= RequestAnswer::kMaxReplyBytes)) {
        bytes += ReplyBytes(items[count]);
        ++count;
    }
    return count;
}

} // namespace

RequestAnswer::RequestAnswer(ItemStore& items, std::string version)
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
    std::string failure;
    std::optional<std::vector<ServerItem>> items
        = items_.ItemsAfter(kind, afterId, kMaxItemsPerReply, &failure);
    if (!items) {
        // An empty reply would tell the client there is nothing new; it must try again instead.
        LogLine("request " + std::to_string(code) + " failed: " + failure);
        return Error(code, kErrorDatabase);
    }
    const std::size_t count = ItemsThatFit(*items);
    reply.AppendNumber(code);
    reply.AppendNumber(static_cast<std::int64_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const ServerItem& item = (*items)[i];
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
