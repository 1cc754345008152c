#include "cli/shopping_output.h"

#include "cli/server_options.h"
#include "core/common/display_text.h"
#include "core/shopping/schedule_text.h"

#include <cstdio>
#include <ctime>
#include <ostream>

namespace tallyhawk::cli
{
namespace
{

std::string NameIn(const IdNameList& list, std::int32_t id)
{
    const IdNameEntry* entry = id != 0 ? list.Find(id) : nullptr;
    return entry != nullptr ? DisplayText(entry->name) : std::string();
}

// Local date and time, "2024-03-11 01:00".
std::string LocalDate(std::int32_t time)
{
    const std::time_t value = time;
    std::tm fields{};
    if (::localtime_r(&value, &fields) == nullptr) {
        return std::to_string(time);
    }
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &fields);
    return text;
}

std::string Number(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

} // namespace

nlohmann::ordered_json ShoppingRecordJson(const ShoppingRecord& record, const ShoppingNames& names)
{
    nlohmann::ordered_json coupons = nlohmann::ordered_json::array();
    for (const ItemRecord& coupon : record.coupons) {
        if (coupon.id >= 1) {
            coupons.push_back({{"id", coupon.id}, {"title", DisplayText(coupon.title())}});
        }
    }
    return {
        {"id", record.id},
        {"name", DisplayText(record.name())},
        {"notes", DisplayText(record.notes())},
        {"storeId", record.storeId},
        {"storeName", NameIn(names.stores, record.storeId)},
        {"categoryId", record.categoryId},
        {"categoryName", NameIn(names.categories, record.categoryId)},
        {"unitId", record.unitId},
        {"unitName", NameIn(names.units, record.unitId)},
        {"purchaseType", record.purchaseType},
        {"interval", record.interval},
        {"dayValue", record.dayValue},
        {"startDate", record.startDate},
        {"lastPurchased", record.lastPurchased},
        {"nextDue", record.nextDue},
        {"pricePerUnit", record.pricePerUnit},
        {"quantity", record.quantity},
        {"coupons", std::move(coupons)},
        {"taxPercent", record.taxPercent},
        {"deleted", record.deleted},
    };
}

void PrintShoppingRecord(std::ostream& out,
                         const ShoppingRecord& record,
                         const ShoppingNames& names,
                         bool product)
{
    out << record.id << "  " << TerminalText(record.name()) << "  ";
    if (!product) {
        out << "bought " << LocalDate(record.startDate);
    } else if (record.nextDue != 0) {
        out << "due " << LocalDate(record.nextDue);
    } else {
        out << (record.lastPurchased == 0 ? "due now" : "purchased");
    }
    out << "\n    " << ScheduleText(record);
    const std::string store = TerminalText(NameIn(names.stores, record.storeId));
    const std::string category = TerminalText(NameIn(names.categories, record.categoryId));
    if (!store.empty() || !category.empty()) {
        out << "  " << store << (store.empty() || category.empty() ? "" : " / ") << category;
    }
    const std::string unit = TerminalText(NameIn(names.units, record.unitId));
    out << "  " << Number(record.pricePerUnit) << " x " << Number(record.quantity)
        << (unit.empty() ? "" : " ") << unit << "\n";
}

} // namespace tallyhawk::cli
