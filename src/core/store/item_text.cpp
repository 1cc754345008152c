#include "core/store/item_text.h"

#include "core/common/item_kind.h"

#include <ctime>

namespace tallyhawk
{
namespace
{

constexpr const char* kWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

} // namespace

std::string FormatItemDate(std::int32_t time)
{
    const auto value = static_cast<std::time_t>(time);
    std::tm fields{};
    if (::localtime_r(&value, &fields) == nullptr || fields.tm_wday < 0 || fields.tm_wday > 6) {
        return "unknown";
    }
    return std::string(kWeekdays[fields.tm_wday]) + " " + std::to_string(fields.tm_mon + 1) + "/"
        + std::to_string(fields.tm_mday) + "/" + std::to_string(fields.tm_year + 1900);
}

std::string_view ItemDateWord(std::int32_t kind)
{
    return IsKind(kind, ItemKind::Coupon) || IsKind(kind, ItemKind::Deal) ? "Expires" : "Posted";
}

std::string ItemSecondLine(const ItemRecord& record)
{
    std::string line(record.description());
    line += ' ';
    line += ItemDateWord(record.kind);
    line += ": ";
    line += record.date < 1 ? std::string("unknown") : FormatItemDate(record.date);
    return line;
}

} // namespace tallyhawk
