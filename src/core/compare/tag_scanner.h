#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tallyhawk
{

// Finds every occurrence of the literal tags "<Name>" and "</Name>" of a fixed set of names in a text,
// in one pass and in text order. Occurrences are exactly those a plain substring search finds
// (overlapping ones included), so a loader gets the same first occurrences as ElementText without
// searching a block once per element.
class TagScanner
{
public:
    static constexpr std::size_t kMaxNameLength = 15;
    static constexpr std::size_t kMaxNames = 63;
    static constexpr std::uint16_t kUnknown = kMaxNames;

    // Element names without brackets, 1 to kMaxNameLength bytes without "<" or ">", at most kMaxNames
    // of them; the views must outlive the scanner. Name i is reported as i.
    explicit TagScanner(std::vector<std::string_view> names);

    std::size_t size() const { return names_.size(); }
    std::string_view operator[](std::size_t index) const { return names_[index]; }

    // Calls onTag(position of the "<", name index, closing) for every "<" of the text, in text order;
    // the name index is kUnknown where no tag of the set starts. (Reporting every "<" keeps the scan
    // free of a hard-to-predict branch per tag.)
    template <typename OnTag>
    void Scan(std::string_view text, OnTag onTag) const
    {
        const char* data = text.data();
        const std::size_t size = text.size();
        // Every tag occurrence starts at a "<" and its name runs to the first ">" after it. A "<" far
        // enough from the end is read with word loads and no data-dependent branch but the last.
        auto visit = [&](std::size_t at) {
            const char* name = data + at + 1;
            bool closing = name < data + size && *name == '/';
            name += closing ? 1 : 0;
            Key key = kFastReads && at + kReadMargin <= size ? ReadWords(name) : ReadBytes(name, data + size);
            onTag(at, FindKey(key), closing);
        };
        std::size_t i = 0;
#if defined(__SSE2__)
        // Sixteen bytes at a time: configurations are dense with markup, so a library call per "<"
        // would cost more than the look at each tag.
        const __m128i open = _mm_set1_epi8('<');
        for (; i + 16 <= size; i += 16) {
            __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
            auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, open)));
            while (mask != 0) {
                visit(i + static_cast<std::size_t>(std::countr_zero(mask)));
                mask &= mask - 1;
            }
        }
#endif
        while (i < size) {
            const void* hit = std::memchr(data + i, '<', size - i);
            if (hit == nullptr) {
                break;
            }
            i = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
            visit(i);
            ++i;
        }
    }

private:
    // A name as two words (byte i at bits 8 * (i % 8) of the low or high word) and its length.
    struct Key
    {
        std::uint64_t low = 0;
        std::uint64_t high = 0;
        std::uint64_t length = 0;
        // Branch-free: the lookup runs once per tag of a text.
        bool operator==(const Key& other) const
        {
            return ((low ^ other.low) | (high ^ other.high) | (length ^ other.length)) == 0;
        }
    };
    static constexpr std::size_t kSlots = 256; // a power of two, well above kMaxNames

    static Key MakeKey(std::string_view name);

    std::size_t Hash(const Key& key) const
    {
        std::uint64_t mixed = (key.low * multiplier_) ^ (key.high * 0xc2b2ae3d27d4eb4full) ^ key.length;
        return static_cast<std::size_t>(mixed >> 56);
    }

    // Word reads need the "<", a "/" and 16 name bytes inside the text.
    static constexpr bool kFastReads = std::endian::native == std::endian::little;
    static constexpr std::size_t kReadMargin = 18;

    // The name that starts at `name` and ends before the first ">" in the next 16 bytes (all of
    // which must lie in the text); a key of length 16, which no name has, when there is none.
    static Key ReadWords(const char* name)
    {
        constexpr std::uint64_t kOnes = 0x0101010101010101ull;
        constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
        // Bytes up to the first ">" of a word; 8 when it has none.
        auto closeAt = [](std::uint64_t word) -> unsigned {
            std::uint64_t x = word ^ (kOnes * '>');
            std::uint64_t found = (x - kOnes) & ~x & kHighBits;
            return static_cast<unsigned>(std::countr_zero(found)) / 8;
        };
        // The lowest `bytes` bytes of a word (0 to 8).
        auto keep = [](std::uint64_t word, unsigned bytes) -> std::uint64_t {
            std::uint64_t mask = bytes == 0 ? 0 : ~std::uint64_t{0} >> (64 - 8 * bytes);
            return word & mask;
        };
        Key key;
        std::memcpy(&key.low, name, 8);
        std::memcpy(&key.high, name + 8, 8);
        unsigned lowLength = closeAt(key.low);
        unsigned length = lowLength < 8 ? lowLength : 8 + closeAt(key.high);
        unsigned highLength = length - (lowLength < 8 ? lowLength : 8);
        key.low = keep(key.low, lowLength < 8 ? lowLength : 8);
        key.high = keep(key.high, highLength);
        key.length = length;
        return key;
    }

    // The same with byte reads, for names near the end of the text.
    static Key ReadBytes(const char* name, const char* end);

    // The multiplier is chosen so that no two names share a slot: one probe decides. kUnknown when
    // the key is no name of the set.
    std::uint16_t FindKey(const Key& key) const
    {
        std::uint16_t index = slots_[Hash(key)];
        return keys_[index] == key ? index : kUnknown;
    }

    std::vector<std::string_view> names_;
    // The table is small enough to stay in a few cache lines: slots hold name indexes, keys_ the keys.
    std::array<std::uint16_t, kSlots> slots_;
    std::uint64_t multiplier_ = 0x9e3779b97f4a7c15ull;
    // keys_[kUnknown] is a key no text can produce (longer than any name), for empty slots.
    std::array<Key, kMaxNames + 1> keys_{};
};

} // namespace tallyhawk
