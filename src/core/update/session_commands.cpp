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

int SessionCommands::DeleteItem(std::int32_t id, std::int32_t kind)
{
    return StoreOf(kind).Delete(id, kind);
}

} // namespace tallyhawk
