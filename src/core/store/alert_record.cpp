#include "core/store/alert_record.h"

#include "core/common/item_kind.h"

#include <cstdio>
#include <string>

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

std::unique_ptr<ItemRecord> MakeAwaySummary(int deals, int topics)
{
    std::string description = "While you were away:";
    const auto count = [&](int number, const char* one, const char* many) {
        if (number > 0) {
            description += (description.back() == ':' ? " " : ", ") + std::to_string(number) + ' '
                + (number == 1 ? one : many);
        }
    };
    count(deals, "new deal", "new deals");
    count(topics, "new topic", "new topics");
    ItemValues values;
    values.id = 1;
    values.kind = KindNumber(ItemKind::AwaySummary);
    values.title = "While you were away";
    values.description = description;
    return std::make_unique<ItemRecord>(ItemRecord::Make(values, 0));
}

} // namespace tallyhawk
