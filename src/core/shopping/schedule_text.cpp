#include "core/shopping/schedule_text.h"

#include "core/shopping/purchase_type.h"

namespace tallyhawk
{

std::string ScheduleText(const ShoppingRecord& record)
{
    static constexpr const char* kWeekdays[]
        = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    const std::string every = record.interval > 1 ? std::to_string(record.interval) + " " : "";
    switch (static_cast<PurchaseType>(record.purchaseType)) {
    case PurchaseType::None:
        return "no schedule";
    case PurchaseType::OneTime:
        return "One Time";
    case PurchaseType::EveryFewDays:
        return "Every " + std::to_string(record.dayValue) + " Days";
    case PurchaseType::Weekly:
        return "Every " + every + (record.interval > 1 ? "Weeks" : "Week") + " on "
            + (record.dayValue >= 0 && record.dayValue <= 6 ? kWeekdays[record.dayValue]
                                                            : "weekday " + std::to_string(record.dayValue));
    case PurchaseType::Monthly:
        return "Every " + every + (record.interval > 1 ? "Months" : "Month") + " on day "
            + std::to_string(record.dayValue);
    default:
        return "schedule type " + std::to_string(record.purchaseType);
    }
}

} // namespace tallyhawk
