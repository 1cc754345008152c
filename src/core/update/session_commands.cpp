#include "core/update/session_commands.h"

#include "core/common/item_kind.h"
#include "core/store/item_store.h"

namespace tallyhawk
{

ItemStore& SessionCommands::StoreOf(std::int32_t kind) const
{
    return kind == KindNumber(ItemKind::Topic) ? topics_ : deals_;
}

int SessionCommands::MarkItemRead(std::int32_t id, std::int32_t kind)
{
    return StoreOf(kind).MarkRead(id, kind);
}

int SessionCommands::MarkItemsRead(const std::vector<std::pair<std::int32_t, std::int32_t>>& idsAndKinds)
{
    std::vector<std::pair<std::int32_t, std::int32_t>> ofDeals;
    std::vector<std::pair<std::int32_t, std::int32_t>> ofTopics;
    for (const auto& key : idsAndKinds) {
        (&StoreOf(key.second) == &topics_ ? ofTopics : ofDeals).push_back(key);
    }
    int marked = 0;
    for (auto [store, keys] : {std::pair{&deals_, &ofDeals}, std::pair{&topics_, &ofTopics}}) {
        const int result = store->MarkAllRead(*keys);
        if (result < 0) {
            return result;
        }
        marked += result;
    }
    return marked;
}

int SessionCommands::DeleteItem(std::int32_t id, std::int32_t kind)
{
    return StoreOf(kind).Delete(id, kind);
}

} // namespace tallyhawk
