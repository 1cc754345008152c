#pragma once

#include "core/store/id_name_list.h"
#include "core/store/item_record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tallyhawk
{

// The values a product or a purchase is made from, as the product editor gathers them. Store,
// category and unit are list entries: an id, or with id 0 a name the user typed that is not in the
// list yet; id 0 and no name means none.
struct ShoppingValues
{
    std::string name;
    std::string notes;
    IdNameEntry store;
    IdNameEntry category;
    IdNameEntry unit;
    double pricePerUnit = 0;
    double quantity = 0;
    std::uint16_t purchaseType = 0;
    std::uint16_t interval = 0;
    std::int16_t dayValue = 0;
    std::int32_t startDate = 0;
    double taxPercent = 0;
    std::array<ItemRecord, 5> coupons{};
};

// One product (in "product.dat") or purchase (in "purchase.dat"): 2,784 bytes, little-endian, with
// five applied coupons embedded whole. Reserved and padding bytes are written as zero.
class ShoppingRecord
{
public:
    static constexpr std::size_t kSize = 2784;
    static constexpr std::size_t kNameSize = 50;
    static constexpr std::size_t kNotesSize = 250;
    static constexpr std::size_t kCouponSlots = 5;

    std::int32_t id = 0;
    std::int32_t storeId = 0;
    std::int32_t categoryId = 0;
    std::int32_t unitId = 0;
    std::uint16_t purchaseType = 0;
    std::uint16_t interval = 0;
    std::int16_t dayValue = 0;
    std::int32_t startDate = 0;
    std::int32_t lastPurchased = 0; // 0: never
    std::int32_t nextDue = 0; // computed when products are filtered
    double pricePerUnit = 0;
    double quantity = 0;
    std::array<ItemRecord, kCouponSlots> coupons{}; // a slot whose id is below 1 is empty
    double taxPercent = 0;
    std::uint8_t deleted = 0;

    // A record with the given values and id; texts cut to their fields, the entries' ids taken as
    // they are.
    static ShoppingRecord Make(const ShoppingValues& values, std::int32_t id);
    // The record stored in `in` (kSize bytes). Without `withCoupons` the slots stay empty: the filters
    // never look at them.
    static ShoppingRecord Parse(const unsigned char* in, bool withCoupons = true);
    void Serialize(unsigned char* out) const;

    // The values that make this record again, with its ids as existing list entries.
    ShoppingValues Values() const;

    std::string_view name() const { return Text(name_); }
    std::string_view notes() const { return Text(notes_); }

    // Field offsets of the stored form.
    static constexpr std::size_t kIdOffset = 8;
    static constexpr std::size_t kNameOffset = 12;
    static constexpr std::size_t kNotesOffset = kNameOffset + kNameSize;
    static constexpr std::size_t kStoreIdOffset = 312;
    static constexpr std::size_t kCategoryIdOffset = 316;
    static constexpr std::size_t kUnitIdOffset = 320;
    static constexpr std::size_t kPurchaseTypeOffset = 324;
    static constexpr std::size_t kIntervalOffset = 326;
    static constexpr std::size_t kDayValueOffset = 328;
    static constexpr std::size_t kStartDateOffset = 332;
    static constexpr std::size_t kLastPurchasedOffset = 336;
    static constexpr std::size_t kNextDueOffset = 340;
    static constexpr std::size_t kPricePerUnitOffset = 352;
    static constexpr std::size_t kQuantityOffset = 360;
    static constexpr std::size_t kCouponsOffset = 368;
    static constexpr std::size_t kTaxPercentOffset = kCouponsOffset + kCouponSlots * ItemRecord::kSize;
    static constexpr std::size_t kDeletedOffset = kTaxPercentOffset + 8;
    static_assert(kNotesOffset + kNotesSize == kStoreIdOffset);
    static_assert(kTaxPercentOffset == 2768 && kDeletedOffset == 2776);

private:
    template <std::size_t N>
    static std::string_view Text(const std::array<char, N>& field)
    {
        std::string_view all(field.data(), N);
        return all.substr(0, all.find('\0'));
    }

    std::array<char, kNameSize> name_{};
    std::array<char, kNotesSize> notes_{};
};

} // namespace tallyhawk
