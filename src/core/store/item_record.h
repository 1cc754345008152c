#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tallyhawk
{

// The eleven values an item is made from: as downloaded, or as an alert is built.
struct ItemValues
{
    std::int32_t id = 0;
    std::int32_t kind = 0;
    std::int32_t storeId = 0;
    std::int32_t categoryId = 0;
    std::int32_t date = 0;
    std::int32_t hot = 0;
    std::optional<std::string_view> title;
    std::optional<std::string_view> description;
    std::optional<std::string_view> extra;
    std::optional<std::string_view> storeName;
    std::optional<std::string_view> categoryName;
};

// One coupon (kind 1), deal (2), forum topic (3) or program notice (99, alerts only): 480 bytes in list
// files, little-endian. Texts are bytes, zero-terminated in fields one byte longer than their maximum.
class ItemRecord
{
public:
    static constexpr std::size_t kSize = 480;
    static constexpr std::size_t kTitleSize = 50;
    static constexpr std::size_t kDescriptionSize = 250;
    static constexpr std::size_t kExtraSize = 50;
    static constexpr std::size_t kStoreNameSize = 50;
    static constexpr std::size_t kCategoryNameSize = 50;

    std::int32_t id = 0;
    std::int32_t kind = 0;
    std::int32_t storeId = 0;
    std::int32_t categoryId = 0;
    std::int32_t date = 0; // expiry of a coupon or deal, posting of a topic; below 1: unknown
    std::int32_t arrivedAt = 0; // when the record was made on this computer
    std::int16_t deleted = 0;
    std::int16_t read = 0;
    std::int16_t hot = 0;

    // Integers as given (hot narrowed to 16 bits), texts cut to their maximum, a missing text empty.
    static ItemRecord Make(const ItemValues& values, std::int32_t arrivedAt);
    // The record stored in `in` (kSize bytes). A text field without a zero byte keeps its first
    // size - 1 bytes.
    static ItemRecord Parse(const unsigned char* in);
    // Writes the kSize bytes of the stored form.
    void Serialize(unsigned char* out) const;

    std::string_view title() const { return Text(title_); }
    std::string_view description() const { return Text(description_); }
    std::string_view extra() const { return Text(extra_); }
    std::string_view storeName() const { return Text(storeName_); }
    std::string_view categoryName() const { return Text(categoryName_); }

    void SetTitle(std::optional<std::string_view> text);
    void SetDescription(std::optional<std::string_view> text);
    void SetExtra(std::optional<std::string_view> text);
    void SetStoreName(std::optional<std::string_view> text);
    void SetCategoryName(std::optional<std::string_view> text);

    // Field offsets of the stored form: six 32-bit integers, three 16-bit flags, five texts.
    static constexpr std::size_t kIdOffset = 0;
    static constexpr std::size_t kKindOffset = 4;
    static constexpr std::size_t kStoreIdOffset = 8;
    static constexpr std::size_t kCategoryIdOffset = 12;
    static constexpr std::size_t kDateOffset = 16;
    static constexpr std::size_t kArrivedAtOffset = 20;
    static constexpr std::size_t kDeletedOffset = 24;
    static constexpr std::size_t kReadOffset = 26;
    static constexpr std::size_t kHotOffset = 28;
    static constexpr std::size_t kTitleOffset = 30;
    static constexpr std::size_t kDescriptionOffset = kTitleOffset + kTitleSize;
    static constexpr std::size_t kExtraOffset = kDescriptionOffset + kDescriptionSize;
    static constexpr std::size_t kStoreNameOffset = kExtraOffset + kExtraSize;
    static constexpr std::size_t kCategoryNameOffset = kStoreNameOffset + kStoreNameSize;
    static_assert(kCategoryNameOffset + kCategoryNameSize == kSize);

private:
    template <std::size_t N>
    static std::string_view Text(const std::array<char, N>& field)
    {
        std::string_view all(field.data(), N);
        return all.substr(0, all.find('\0'));
    }

    std::array<char, kTitleSize> title_{};
    std::array<char, kDescriptionSize> description_{};
    std::array<char, kExtraSize> extra_{};
    std::array<char, kStoreNameSize> storeName_{};
    std::array<char, kCategoryNameSize> categoryName_{};
};

} // namespace tallyhawk
