#pragma once

#include <cstdint>

namespace tallyhawk
{

// The kinds of item, numbered as the deal server and the record files number them. Records keep the
// number itself, since a file or a reply may hold any value; compare it with IsKind.
enum class ItemKind : std::int32_t
{
    Coupon = 1,
    Deal = 2,
    Topic = 3,
    AwaySummary = 98, // alerts only: what arrived while alerts were held
    ProgramNotice = 99, // alerts only, never stored
};

constexpr std::int32_t KindNumber(ItemKind kind)
{
    return static_cast<std::int32_t>(kind);
}

constexpr bool IsKind(std::int32_t number, ItemKind kind)
{
    return number == KindNumber(kind);
}

// Coupons, deals and forum topics: the kinds the server sends and the stores keep.
constexpr bool IsStoredKind(std::int32_t number)
{
    return number >= KindNumber(ItemKind::Coupon) && number <= KindNumber(ItemKind::Topic);
}

} // namespace tallyhawk
