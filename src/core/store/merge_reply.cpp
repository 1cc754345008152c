#include "core/store/merge_reply.h"

#include "core/common/clock.h"
#include "core/protocol/reply_item.h"
#include "core/protocol/wire_message.h"
#include "core/store/alert_record.h"
#include "core/store/item_store.h"
#include "core/store/keyword_rule.h"
#include "core/store/word_rules.h"

#include <algorithm>
#include <vector>

namespace tallyhawk
{
namespace
{

constexpr std::int32_t kIdLimit = 99999999;

// The list holds for the texts the item has, each tested on its own.
bool Satisfies(const KeywordRule& rule, const ReplyItem& item)
{
    std::vector<std::string_view> texts;
    for (const std::optional<std::string>* text :
         {&item.title, &item.storeName, &item.categoryName, &item.description}) {
        if (*text) {
            texts.emplace_back(**text);
        }
    }
    return rule.Passes(texts);
}

// The values of a reply item whose description is already cleaned; the texts point into `item`.
ItemValues ValuesOf(const ReplyItem& item)
{
    ItemValues values;
    values.id = item.id;
    values.kind = item.kind;
    values.storeId = item.storeId;
    values.categoryId = item.categoryId;
    values.date = item.date;
    values.hot = item.hot;
    values.title = item.title;
    values.description = item.description;
    values.extra = item.extra;
    values.storeName = item.storeName;
    values.categoryName = item.categoryName;
    return values;
}

} // namespace

ItemRecord StoredItemOf(ReplyItem item, std::int32_t arrivedAt)
{
    if (item.description) {
        CleanDescription(*item.description);
    }
    return ItemRecord::Make(ValuesOf(item), arrivedAt);
}

MergeResult MergeReply(ItemStore& store,
                       const WireMessage& reply,
                       std::int32_t askedAfter,
                       std::optional<std::string_view> keywordList,
                       bool alertEach,
                       AlertSink* window)
{
    MergeResult result;
    if (ReplyItemCount(reply) <= 0) {
        return result;
    }
    // Items announced beyond the payload would read wholly absent and be dropped: never visit them.
    const std::int32_t items = ReplyItemsPresent(reply);
    std::optional<KeywordRule> keywords;
    if (keywordList) {
        keywords.emplace(*keywordList);
    }
    for (std::int32_t k = 0; k < items; ++k) {
        ReplyItem item = ReadReplyItem(reply, k);
        if (item.id < 1 || item.id >= kIdLimit || item.kind <= 0 || item.categoryId <= 0 || !item.title) {
            continue;
        }
        // The description is tested as received, before cleaning.
        if (keywords && !Satisfies(*keywords, item)) {
            continue;
        }
        if (item.description) {
            CleanDescription(*item.description);
        }
        const ItemValues values = ValuesOf(item);
        const int appended = store.AppendNew(values, askedAfter);
        if (appended < 0) {
            // Whatever follows would fail the same way or land out of order: report and stop.
            result.status = appended;
            break;
        }
        if (appended == 0) {
            ++result.alreadyStored;
            continue;
        }
        ++result.kept;
        result.highestStored = std::max(result.highestStored, item.id);
        if (alertEach && window != nullptr) {
            window->PostAlert(MakeItemAlert(values, Clock::Now()));
        }
    }
    return result;
}

} // namespace tallyhawk
