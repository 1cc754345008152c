#include "core/compare/search_record.h"

#include "core/common/byte_text.h"

namespace tallyhawk
{

std::array<unsigned char, SearchRecord::kSize> SearchRecord::Encode() const
{
    std::array<unsigned char, kSize> bytes{};
    StoreLe32(bytes.data() + kIdOffset, static_cast<std::uint32_t>(id));
    StoreLe32(bytes.data() + kCategoryIdOffset, static_cast<std::uint32_t>(categoryId));
    StoreLe32(bytes.data() + kSavedAtOffset, static_cast<std::uint32_t>(savedAt));
    CopyToField(reinterpret_cast<char*>(bytes.data() + kNameOffset), kNameSize, name);
    StoreLe16(bytes.data() + kDeletedOffset, deleted);
    return bytes;
}

SearchRecord SearchRecord::Decode(const unsigned char* bytes)
{
    SearchRecord record;
    record.id = static_cast<std::int32_t>(LoadLe32(bytes + kIdOffset));
    record.categoryId = static_cast<std::int32_t>(LoadLe32(bytes + kCategoryIdOffset));
    record.savedAt = static_cast<std::int32_t>(LoadLe32(bytes + kSavedAtOffset));
    record.name = std::string(FieldString(reinterpret_cast<const char*>(bytes + kNameOffset), kNameSize));
    record.deleted = LoadLe16(bytes + kDeletedOffset);
    return record;
}

} // namespace tallyhawk
