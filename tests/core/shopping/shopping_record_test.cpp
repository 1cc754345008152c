#include "core/common/byte_text.h"
#include "core/shopping/shopping_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tallyhawk
{
namespace
{

std::uint64_t Load64(const unsigned char* in)
{
    return LoadLe32(in) | (static_cast<std::uint64_t>(LoadLe32(in + 4)) << 32);
}

TEST(ShoppingRecord, StoredByteForByteAtItsOffsets)
{
    ShoppingValues values;
    values.name = "Coffee";
    values.notes = "dark roast";
    values.store.id = 5000;
    values.category.id = 0x01020304;
    values.unit.id = 7;
    values.purchaseType = 4;
    values.interval = 12;
    values.dayValue = -2;
    values.startDate = 1200000000;
    values.pricePerUnit = 1.5; // 0x3FF8000000000000
    values.quantity = 2.0; // 0x4000000000000000
    values.taxPercent = -0.0; // only the sign bit
    ItemValues coupon;
    coupon.id = 42;
    coupon.kind = 1;
    coupon.title = "Ten off";
    values.coupons[2] = ItemRecord::Make(coupon, 1100000000);
    ShoppingRecord record = ShoppingRecord::Make(values, 9);
    record.lastPurchased = -1;
    record.nextDue = 0x7FFFFFFF;
    record.deleted = 1;

    std::vector<unsigned char> bytes(ShoppingRecord::kSize, 0xEE);
    record.Serialize(bytes.data());
    const unsigned char* b = bytes.data();
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(b[i], 0) << "reserved byte " << i;
    }
    EXPECT_EQ(LoadLe32(b + 8), 9u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 12)), "Coffee");
    EXPECT_EQ(b[12 + 49], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 62)), "dark roast");
    EXPECT_EQ(LoadLe32(b + 312), 5000u);
    EXPECT_EQ(b[316], 0x04);
    EXPECT_EQ(b[319], 0x01);
    EXPECT_EQ(LoadLe32(b + 320), 7u);
    EXPECT_EQ(LoadLe16(b + 324), 4);
    EXPECT_EQ(LoadLe16(b + 326), 12);
    EXPECT_EQ(LoadLe16(b + 328), 0xFFFE);
    EXPECT_EQ(LoadLe16(b + 330), 0);
    EXPECT_EQ(LoadLe32(b + 332), 1200000000u);
    EXPECT_EQ(LoadLe32(b + 336), 0xFFFFFFFFu);
    EXPECT_EQ(LoadLe32(b + 340), 0x7FFFFFFFu);
    for (std::size_t i = 344; i < 352; ++i) {
        EXPECT_EQ(b[i], 0) << "reserved byte " << i;
    }
    EXPECT_EQ(Load64(b + 352), 0x3FF8000000000000u);
    EXPECT_EQ(Load64(b + 360), 0x4000000000000000u);
    // Empty slots are zero; the third holds the coupon's 480 bytes as an item record stores them.
    EXPECT_EQ(LoadLe32(b + 368), 0u);
    EXPECT_EQ(LoadLe32(b + 368 + 2 * 480), 42u);
    EXPECT_EQ(LoadLe32(b + 368 + 2 * 480 + 20), 1100000000u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 368 + 2 * 480 + 30)), "Ten off");
    EXPECT_EQ(Load64(b + 2768), 0x8000000000000000u);
    EXPECT_EQ(b[2776], 1);
    for (std::size_t i = 2777; i < 2784; ++i) {
        EXPECT_EQ(b[i], 0) << "padding byte " << i;
    }

    const ShoppingRecord back = ShoppingRecord::Parse(b);
    std::vector<unsigned char> again(ShoppingRecord::kSize);
    back.Serialize(again.data());
    EXPECT_EQ(again, bytes);
    EXPECT_EQ(back.dayValue, -2);
    EXPECT_EQ(back.coupons[2].title(), "Ten off");
    EXPECT_EQ(ShoppingRecord::Parse(b, false).coupons[2].id, 0);
}

TEST(ShoppingRecord, TextsAreCutToTheirFields)
{
    const std::string fifty(50, 'n');
    ShoppingValues values;
    values.name = fifty;
    values.notes = std::string(300, 'x');
    ShoppingRecord record = ShoppingRecord::Make(values, 1);
    EXPECT_EQ(record.name(), fifty.substr(0, 49));
    EXPECT_EQ(record.notes().size(), 249u);
    // UTF-8 is cut before a character that does not fit whole: 48 bytes and a two-byte letter.
    const std::string accented = std::string(48, 'a') + "\xC3\xA9";
    values.name = accented;
    EXPECT_EQ(ShoppingRecord::Make(values, 1).name(), std::string(48, 'a'));
    // Not UTF-8: cut byte for byte.
    const std::string latin = std::string(48, 'a') + "\xE9\xE9";
    values.name = latin;
    EXPECT_EQ(ShoppingRecord::Make(values, 1).name(), latin.substr(0, 49));

    // A stored name without its zero byte reads as its first 49 bytes.
    std::vector<unsigned char> bytes(ShoppingRecord::kSize, 'z');
    EXPECT_EQ(ShoppingRecord::Parse(bytes.data()).name(), std::string(49, 'z'));
}

} // namespace
} // namespace tallyhawk
