#include "core/update/reply_slices.h"

#include "core/protocol/reply_item.h"
#include "core/protocol/wire_message.h"

#include <algorithm>

namespace tallyhawk
{

bool ForEachReplySlice(const WireMessage& reply,
                       std::int32_t itemsPerSlice,
                       const std::function<bool(const WireMessage&)>& merge)
{
    if (ReplyItemCount(reply) <= 0) {
        return true;
    }
    itemsPerSlice = std::max<std::int32_t>(1, itemsPerSlice);
    // Items announced past the payload read wholly absent; no slice carries them.
    const std::int32_t present = ReplyItemsPresent(reply);
    for (std::int32_t first = 0; first < present; first += itemsPerSlice) {
        const std::int32_t count = std::min(itemsPerSlice, present - first);
        WireMessage slice;
        slice.Reset(reply.code());
        slice.AppendText(reply.FieldView(1));
        slice.AppendNumber(count);
        const int firstField = ReplyItem::kFirstItemField + ReplyItem::kFieldsPerItem * first;
        for (int field = firstField; field < firstField + ReplyItem::kFieldsPerItem * count; ++field) {
            slice.AppendText(reply.FieldView(field));
        }
        if (!merge(slice)) {
            return false;
        }
    }
    return true;
}

} // namespace tallyhawk
