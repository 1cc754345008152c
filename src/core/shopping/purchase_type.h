#pragma once

#include <cstdint>

namespace tallyhawk
{

// The schedule types of a product (`purchaseType`), numbered as the record files keep them.
enum class PurchaseType : std::uint16_t
{
    None = 0, // due until it is purchased once; dates are not consulted
    OneTime = 1, // due on its start date until it is purchased once
    EveryFewDays = 2, // every `dayValue` days
    Weekly = 3, // every `interval` weeks on weekday `dayValue` (0 Sunday ... 6 Saturday)
    Monthly = 4, // every `interval` months on day `dayValue` (or the month's last day)
};

constexpr std::uint16_t PurchaseTypeNumber(PurchaseType type)
{
    return static_cast<std::uint16_t>(type);
}

constexpr bool IsPurchaseType(std::uint16_t number, PurchaseType type)
{
    return number == PurchaseTypeNumber(type);
}

// Types 2 to 4 come back after each purchase.
constexpr bool IsRecurring(std::uint16_t number)
{
    return number >= PurchaseTypeNumber(PurchaseType::EveryFewDays)
        && number <= PurchaseTypeNumber(PurchaseType::Monthly);
}

} // namespace tallyhawk
