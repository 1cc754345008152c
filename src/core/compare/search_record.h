#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tallyhawk
{

// One saved comparison in the index file "pricecmp.dat": 68 bytes, little-endian.
struct SearchRecord
{
    static constexpr std::size_t kSize = 68;
    static constexpr std::size_t kReservedOffset = 0; // written as 0, ignored when read
    static constexpr std::size_t kIdOffset = 4;
    static constexpr std::size_t kCategoryIdOffset = 8;
    static constexpr std::size_t kSavedAtOffset = 12;
    static constexpr std::size_t kNameOffset = 16;
    static constexpr std::size_t kNameSize = 50; // at most 49 bytes and a zero
    static constexpr std::size_t kDeletedOffset = 66;

    std::int32_t id = 0; // 2 or more; names the results file
    std::int32_t categoryId = 0;
    std::int32_t savedAt = 0; // seconds since 1970 (UTC)
    std::string name; // the search text, at most 49 bytes
    std::uint16_t deleted = 0; // records with a non-zero value are skipped

    std::array<unsigned char, kSize> Encode() const;
    static SearchRecord Decode(const unsigned char* bytes);
};

} // namespace tallyhawk
