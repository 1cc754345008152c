#pragma once

#include "core/common/status.h"
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

// What a merge stored.
struct MergeResult
{
    int kept = 0; // items appended to the file
    int alreadyStored = 0; // items dropped because the file held them already, or the request's id was above
    int status = kOk; // the status of the append that failed, where the merge stopped; 0 otherwise
    std::int32_t highestStored = 0; // the highest id appended, 0 when none was
};

// Appends the acceptable items of a 9001 item reply to `store`: an id from 1 to 99999998, a kind and a
// category above 0, a title, and (with a keyword list) the title, store name, category name or
// description satisfying the list. Descriptions are cleaned first. Items are taken in the reply's order,
// whatever their ids: one is dropped only when its id is not above `askedAfter` (the id the request
// asked after) or the file already holds its kind and id (ItemStore::AppendNew). With `alertEach`, each
// appended item is also posted to `window` as an alert. The first append that fails ends the merge: the
// items after it are neither stored nor alerted, and the result says so.
MergeResult MergeReply(ItemStore& store,
                       const WireMessage& reply,
                       std::int32_t askedAfter,
                       std::optional<std::string_view> keywordList,
                       bool alertEach,
                       AlertSink* window);

} // namespace tallyhawk
