#include "core/update/highest_ids.h"

#include "core/common/item_kind.h"
#include "core/settings/settings.h"
#include "core/store/item_store.h"

#include <algorithm>
#include <string>

namespace tallyhawk
{

HighestIds::HighestIds(const Settings& settings)
    : settings_(settings)
{ }

std::string_view HighestIds::SettingName(std::int32_t kind)
{
    switch (kind) {
    case KindNumber(ItemKind::Coupon):
        return "HighestCouponId";
    case KindNumber(ItemKind::Deal):
        return "HighestDealId";
    case KindNumber(ItemKind::Topic):
        return "HighestTopicId";
    default:
        return {};
    }
}

std::int32_t HighestIds::Remembered(std::int32_t kind) const
{
    std::string_view name = SettingName(kind);
    if (name.empty()) {
        return 0;
    }
    return std::max<std::int32_t>(0, settings_.ReadNumber(std::string(name)).value_or(0));
}

std::int32_t HighestIds::AskAfter(std::int32_t kind, const ItemStore& store) const
{
    return std::max(Remembered(kind), store.HighestId(kind));
}

void HighestIds::Remember(std::int32_t kind, const ItemStore& store)
{
    std::string_view name = SettingName(kind);
    const std::int32_t held = store.HighestId(kind);
    if (!name.empty() && held > Remembered(kind)) {
        // A failed write only means the next archive may lower the request again.
        settings_.WriteNumber(std::string(name), held);
    }
}

} // namespace tallyhawk
