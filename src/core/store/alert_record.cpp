#include "core/store/alert_record.h"

#include "core/common/item_kind.h"

#include <cstdio>

namespace tallyhawk
{

std::unique_ptr<ItemRecord> MakeItemAlert(const ItemValues& values, std::int32_t now)
{
    return std::make_unique<ItemRecord>(ItemRecord::Make(values, now));
}

std::unique_ptr<ItemRecord> MakeProgramNotice(int newItems)
{
    char description[ItemRecord::kDescriptionSize];
    std::snprintf(
        description, sizeof description, "Tallyhawk has downloaded %d new coupons and deals.", newItems);
    ItemValues values;
    values.id = 1;
    values.kind = KindNumber(ItemKind::ProgramNotice);
    values.title = "Tallyhawk Auto Update";
    values.description = description;
    return std::make_unique<ItemRecord>(ItemRecord::Make(values, 0));
}

} // namespace tallyhawk
