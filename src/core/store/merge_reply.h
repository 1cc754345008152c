#pragma once

#include "core/store/item_record.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace tallyhawk
{

class AlertSink;
class ItemStore;
class WireMessage;
struct ReplyItem;

// The record a reply item becomes when it is kept: its description cleaned and its texts cut at a zero
// byte and to their fields, exactly as the store keeps them.
ItemRecord StoredItemOf(ReplyItem item, std::int32_t arrivedAt);

// Appends the acceptable items of a 9001 item reply to `store`: an id from 1 to 99999998, a kind and a
// category above 0, a title, and (with a keyword list) the title, store name, category name or
// description satisfying the list. Descriptions are cleaned first. With `alertEach`, each kept item is
// also posted to `window` as an alert. Returns how many items were kept, whether or not their appends
// succeeded.
int MergeReply(ItemStore& store,
               const WireMessage& reply,
               std::optional<std::string_view> keywordList,
               bool alertEach,
               AlertSink* window);

} // namespace tallyhawk
