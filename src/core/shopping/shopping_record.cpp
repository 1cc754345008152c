#include "core/shopping/shopping_record.h"

#include "core/common/byte_text.h"
#include "core/common/display_text.h"

#include <bit>
#include <cstring>

namespace tallyhawk
{
namespace
{

std::int32_t LoadInt32(const unsigned char* in)
{
    return static_cast<std::int32_t>(LoadLe32(in));
}

void StoreInt32(unsigned char* out, std::int32_t value)
{
    StoreLe32(out, static_cast<std::uint32_t>(value));
}

double LoadDouble(const unsigned char* in)
{
    const std::uint64_t bits = LoadLe32(in) | (static_cast<std::uint64_t>(LoadLe32(in + 4)) << 32);
    return std::bit_cast<double>(bits);
}

void StoreDouble(unsigned char* out, double value)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    StoreLe32(out, static_cast<std::uint32_t>(bits));
    StoreLe32(out + 4, static_cast<std::uint32_t>(bits >> 32));
}

// A typed text cut to its field: at a whole character when it is UTF-8.
template <std::size_t N>
void SetText(std::array<char, N>& field, std::string_view text)
{
    CopyToField(field.data(), N, text);
}

// The stored bytes, always ending in a zero byte.
template <std::size_t N>
void ParseText(std::array<char, N>& field, const unsigned char* in)
{
    std::memcpy(field.data(), in, N);
    field[N - 1] = '\0';
}

} // namespace

ShoppingRecord ShoppingRecord::Make(const ShoppingValues& values, std::int32_t id)
{
    ShoppingRecord record;
    record.id = id;
    SetText(record.name_, values.name);
    SetText(record.notes_, values.notes);
    record.storeId = values.store.id;
    record.categoryId = values.category.id;
    record.unitId = values.unit.id;
    record.purchaseType = values.purchaseType;
    record.interval = values.interval;
    record.dayValue = values.dayValue;
    record.startDate = values.startDate;
    record.pricePerUnit = values.pricePerUnit;
    record.quantity = values.quantity;
    record.coupons = values.coupons;
    record.taxPercent = values.taxPercent;
    return record;
}

ShoppingValues ShoppingRecord::Values() const
{
    ShoppingValues values;
    values.name = std::string(name());
    values.notes = std::string(notes());
    values.store.id = storeId;
    values.category.id = categoryId;
    values.unit.id = unitId;
    values.pricePerUnit = pricePerUnit;
    values.quantity = quantity;
    values.purchaseType = purchaseType;
    values.interval = interval;
    values.dayValue = dayValue;
    values.startDate = startDate;
    values.taxPercent = taxPercent;
    values.coupons = coupons;
    return values;
}

ShoppingRecord ShoppingRecord::Parse(const unsigned char* in, bool withCoupons)
{
    ShoppingRecord record;
    record.id = LoadInt32(in + kIdOffset);
    ParseText(record.name_, in + kNameOffset);
    ParseText(record.notes_, in + kNotesOffset);
    record.storeId = LoadInt32(in + kStoreIdOffset);
    record.categoryId = LoadInt32(in + kCategoryIdOffset);
    record.unitId = LoadInt32(in + kUnitIdOffset);
    record.purchaseType = LoadLe16(in + kPurchaseTypeOffset);
    record.interval = LoadLe16(in + kIntervalOffset);
    record.dayValue = static_cast<std::int16_t>(LoadLe16(in + kDayValueOffset));
    record.startDate = LoadInt32(in + kStartDateOffset);
    record.lastPurchased = LoadInt32(in + kLastPurchasedOffset);
    record.nextDue = LoadInt32(in + kNextDueOffset);
    record.pricePerUnit = LoadDouble(in + kPricePerUnitOffset);
    record.quantity = LoadDouble(in + kQuantityOffset);
    if (withCoupons) {
        for (std::size_t slot = 0; slot < kCouponSlots; ++slot) {
            record.coupons[slot] = ItemRecord::Parse(in + kCouponsOffset + slot * ItemRecord::kSize);
        }
    }
    record.taxPercent = LoadDouble(in + kTaxPercentOffset);
    record.deleted = in[kDeletedOffset];
    return record;
}

void ShoppingRecord::Serialize(unsigned char* out) const
{
    std::memset(out, 0, kSize);
    StoreInt32(out + kIdOffset, id);
    std::memcpy(out + kNameOffset, name_.data(), kNameSize);
    std::memcpy(out + kNotesOffset, notes_.data(), kNotesSize);
    StoreInt32(out + kStoreIdOffset, storeId);
    StoreInt32(out + kCategoryIdOffset, categoryId);
    StoreInt32(out + kUnitIdOffset, unitId);
    StoreLe16(out + kPurchaseTypeOffset, purchaseType);
    StoreLe16(out + kIntervalOffset, interval);
    StoreLe16(out + kDayValueOffset, static_cast<std::uint16_t>(dayValue));
    StoreInt32(out + kStartDateOffset, startDate);
    StoreInt32(out + kLastPurchasedOffset, lastPurchased);
    StoreInt32(out + kNextDueOffset, nextDue);
    StoreDouble(out + kPricePerUnitOffset, pricePerUnit);
    StoreDouble(out + kQuantityOffset, quantity);
    for (std::size_t slot = 0; slot < kCouponSlots; ++slot) {
        coupons[slot].Serialize(out + kCouponsOffset + slot * ItemRecord::kSize);
    }
    StoreDouble(out + kTaxPercentOffset, taxPercent);
    out[kDeletedOffset] = deleted;
}

} // namespace tallyhawk
