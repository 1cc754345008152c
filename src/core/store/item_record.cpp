#include "core/store/item_record.h"

#include "core/common/byte_text.h"

#include <cstring>

namespace tallyhawk
{
namespace
{

constexpr std::size_t kTitleOffset = 30;
constexpr std::size_t kDescriptionOffset = 80;
constexpr std::size_t kExtraOffset = 330;
constexpr std::size_t kStoreNameOffset = 380;
constexpr std::size_t kCategoryNameOffset = 430;

void StoreLe16Signed(unsigned char* out, std::int16_t value)
{
    StoreLe16(out, static_cast<std::uint16_t>(value));
}

std::int16_t LoadLe16Signed(const unsigned char* in)
{
    return static_cast<std::int16_t>(LoadLe16(in));
}

std::int32_t LoadLe32Signed(const unsigned char* in)
{
    return static_cast<std::int32_t>(LoadLe32(in));
}

// The stored bytes of a text field, kept as read, but always ending in a zero byte.
template <std::size_t N>
void ParseField(std::array<char, N>& field, const unsigned char* in)
{
    std::memcpy(field.data(), in, N);
    field[N - 1] = '\0';
}

} // namespace

ItemRecord ItemRecord::Make(const ItemValues& values, std::int32_t arrivedAt)
{
    ItemRecord record;
    record.id = values.id;
    record.kind = values.kind;
    record.storeId = values.storeId;
    record.categoryId = values.categoryId;
    record.date = values.date;
    record.arrivedAt = arrivedAt;
    record.hot = static_cast<std::int16_t>(values.hot);
    record.SetTitle(values.title);
    record.SetDescription(values.description);
    record.SetExtra(values.extra);
    record.SetStoreName(values.storeName);
    record.SetCategoryName(values.categoryName);
    return record;
}

ItemRecord ItemRecord::Parse(const unsigned char* in)
{
    ItemRecord record;
    record.id = LoadLe32Signed(in + 0);
    record.kind = LoadLe32Signed(in + 4);
    record.storeId = LoadLe32Signed(in + 8);
    record.categoryId = LoadLe32Signed(in + 12);
    record.date = LoadLe32Signed(in + 16);
    record.arrivedAt = LoadLe32Signed(in + 20);
    record.deleted = LoadLe16Signed(in + kDeletedOffset);
    record.read = LoadLe16Signed(in + kReadOffset);
    record.hot = LoadLe16Signed(in + 28);
    ParseField(record.title_, in + kTitleOffset);
    ParseField(record.description_, in + kDescriptionOffset);
    ParseField(record.extra_, in + kExtraOffset);
    ParseField(record.storeName_, in + kStoreNameOffset);
    ParseField(record.categoryName_, in + kCategoryNameOffset);
    return record;
}

void ItemRecord::Serialize(unsigned char* out) const
{
    StoreLe32(out + 0, static_cast<std::uint32_t>(id));
    StoreLe32(out + 4, static_cast<std::uint32_t>(kind));
    StoreLe32(out + 8, static_cast<std::uint32_t>(storeId));
    StoreLe32(out + 12, static_cast<std::uint32_t>(categoryId));
    StoreLe32(out + 16, static_cast<std::uint32_t>(date));
    StoreLe32(out + 20, static_cast<std::uint32_t>(arrivedAt));
    StoreLe16Signed(out + kDeletedOffset, deleted);
    StoreLe16Signed(out + kReadOffset, read);
    StoreLe16Signed(out + 28, hot);
    std::memcpy(out + kTitleOffset, title_.data(), kTitleSize);
    std::memcpy(out + kDescriptionOffset, description_.data(), kDescriptionSize);
    std::memcpy(out + kExtraOffset, extra_.data(), kExtraSize);
    std::memcpy(out + kStoreNameOffset, storeName_.data(), kStoreNameSize);
    std::memcpy(out + kCategoryNameOffset, categoryName_.data(), kCategoryNameSize);
}

void ItemRecord::SetTitle(std::optional<std::string_view> text)
{
    CopyToField(title_.data(), title_.size(), text);
}

void ItemRecord::SetDescription(std::optional<std::string_view> text)
{
    CopyToField(description_.data(), description_.size(), text);
}

void ItemRecord::SetExtra(std::optional<std::string_view> text)
{
    CopyToField(extra_.data(), extra_.size(), text);
}

void ItemRecord::SetStoreName(std::optional<std::string_view> text)
{
    CopyToField(storeName_.data(), storeName_.size(), text);
}

void ItemRecord::SetCategoryName(std::optional<std::string_view> text)
{
    CopyToField(categoryName_.data(), categoryName_.size(), text);
}

} // namespace tallyhawk
