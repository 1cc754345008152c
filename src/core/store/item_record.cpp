#include "core/store/item_record.h"

#include "core/common/byte_text.h"

#include <cstring>

namespace tallyhawk
{
namespace
{

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
    record.id = LoadLe32Signed(in + kIdOffset);
    record.kind = LoadLe32Signed(in + kKindOffset);
    record.storeId = LoadLe32Signed(in + kStoreIdOffset);
    record.categoryId = LoadLe32Signed(in + kCategoryIdOffset);
    record.date = LoadLe32Signed(in + kDateOffset);
    record.arrivedAt = LoadLe32Signed(in + kArrivedAtOffset);
    record.deleted = LoadLe16Signed(in + kDeletedOffset);
    record.read = LoadLe16Signed(in + kReadOffset);
    record.hot = LoadLe16Signed(in + kHotOffset);
    ParseField(record.title_, in + kTitleOffset);
    ParseField(record.description_, in + kDescriptionOffset);
    ParseField(record.extra_, in + kExtraOffset);
    ParseField(record.storeName_, in + kStoreNameOffset);
    ParseField(record.categoryName_, in + kCategoryNameOffset);
    return record;
}

void ItemRecord::Serialize(unsigned char* out) const
{
    StoreLe32(out + kIdOffset, static_cast<std::uint32_t>(id));
    StoreLe32(out + kKindOffset, static_cast<std::uint32_t>(kind));
    StoreLe32(out + kStoreIdOffset, static_cast<std::uint32_t>(storeId));
    StoreLe32(out + kCategoryIdOffset, static_cast<std::uint32_t>(categoryId));
    StoreLe32(out + kDateOffset, static_cast<std::uint32_t>(date));
    StoreLe32(out + kArrivedAtOffset, static_cast<std::uint32_t>(arrivedAt));
    StoreLe16Signed(out + kDeletedOffset, deleted);
    StoreLe16Signed(out + kReadOffset, read);
    StoreLe16Signed(out + kHotOffset, hot);
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
