#include "core/protocol/reply_item.h"

#include "core/protocol/wire_message.h"

#include <algorithm>
#include <limits>

namespace tallyhawk
{

std::int32_t ReplyItemCount(const WireMessage& reply)
{
    return reply.FieldNumber(2);
}

ReplyItem ReadReplyItem(const WireMessage& reply, std::int32_t k)
{
    ReplyItem item;
    const std::int64_t base
        = ReplyItem::kFirstItemField + static_cast<std::int64_t>(ReplyItem::kFieldsPerItem) * k;
    // A field number beyond int cannot be in any payload; such an item stays wholly absent.
    if (k < 0 || base + ReplyItem::kFieldsPerItem - 1 > std::numeric_limits<int>::max()) {
        return item;
    }
    const int b = static_cast<int>(base);
    item.id = reply.FieldNumber(b);
    item.kind = reply.FieldNumber(b + 1);
    item.storeId = reply.FieldNumber(b + 2);
    item.categoryId = reply.FieldNumber(b + 3);
    item.date = reply.FieldNumber(b + 4);
    item.hot = reply.FieldNumber(b + 5);
    item.title = reply.FieldText(b + 6);
    item.description = reply.FieldText(b + 7);
    item.extra = reply.FieldText(b + 8);
    item.storeName = reply.FieldText(b + 9);
    item.categoryName = reply.FieldText(b + 10);
    return item;
}

std::int32_t ReplyItemsPresent(const WireMessage& reply)
{
    const std::int32_t announced = ReplyItemCount(reply);
    if (announced < 1) {
        return 0;
    }
    const std::int32_t fields = reply.FieldCount();
    if (fields < ReplyItem::kFirstItemField) {
        return 0;
    }
    const std::int32_t carried = (fields - ReplyItem::kFirstItemField) / ReplyItem::kFieldsPerItem + 1;
    return std::min(announced, carried);
}

} // namespace tallyhawk
