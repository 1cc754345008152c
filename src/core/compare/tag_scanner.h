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

namespace tag_scanner_detail
{

// Row n: n bytes of 0xff (at most 15), then zeros; a vector AND with it keeps the first n bytes.
struct KeepMasks
{
    alignas(16) unsigned char rows[17][16];
    constexpr KeepMasks()
        : rows{}
    {
        for (unsigned n = 0; n <= 16; ++n) {
            for (unsigned i = 0; i < 16; ++i) {
                rows[n][i] = i < n && i < 15 ? 0xff : 0;
            }
        }
    }
};
inline constexpr KeepMasks kKeepMasks{};

} // namespace tag_scanner_detail

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

    // Calls onTag(position of the "<", name index, closing) for every tag of the set in the text, in
    // text order, and possibly for other "<" with the name index kUnknown. (Passing those on keeps
    // the scan free of a hard-to-predict branch per tag.)
    template <typename OnTag>
    void Scan(std::string_view text, OnTag onTag) const
    {
        const char* data = text.data();
        const std::size_t size = text.size();
        const Finder find = MakeFinder();
        // Every tag occurrence starts at a "<" and its name runs to the first ">" after it. A "<" far
        // enough from the end is read with word loads and no data-dependent branch but the last.
        auto visit = [&](std::size_t at) {
            const char* name = data + at + 1;
            bool closing = name < data + size && *name == '/';
            name += closing ? 1 : 0;
            Key key = kFastReads && at + kReadMargin <= size ? ReadWords(name) : ReadBytes(name, data + size);
            onTag(at, find(key), closing);
        };
        std::size_t i = 0;
#if defined(__SSE2__)
        // Sixteen bytes at a time, and only a "<" followed by a byte that can start a name, or by "/"
        // and such a byte, is looked at: configurations are dense with markup of their own, such as
        // lower-case table tags inside marker values.
        const __m128i open = _mm_set1_epi8('<');
        const __m128i slash = _mm_set1_epi8('/');
        // A byte may start a name when byte - low, taken unsigned, is at most high - low: one add and
        // one signed compare.
        const __m128i shift = _mm_set1_epi8(static_cast<char>(0x80 - firstByteLow_));
        const __m128i limit = _mm_set1_epi8(static_cast<char>(firstByteHigh_ - firstByteLow_ - 127));
        // Masks of one 16-byte piece: "<", a byte that may start a name, "/".
        struct Masks
        {
            std::uint64_t open;
            std::uint64_t name;
            std::uint64_t slash;
        };
        auto masks16 = [&](std::size_t at) {
            __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
            auto bits = [](__m128i found) {
                return static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(found)));
            };
            return Masks{bits(_mm_cmpeq_epi8(bytes, open)),
                         bits(_mm_cmpgt_epi8(limit, _mm_add_epi8(bytes, shift))),
                         bits(_mm_cmpeq_epi8(bytes, slash))};
        };
        // Two phases per batch: the candidates' positions are written out 64 bytes at a time, then
        // looked at one after the other, so the look at one tag does not wait on the search for the
        // next. A "<" of a window at i has its "/" and 16 name bytes inside the text:
        // at + 18 <= i + 82 <= size.
        constexpr std::size_t kBatch = 512;
        std::size_t batch[kBatch + 64]; // a window adds at most 64
        Masks next = i + 82 <= size ? masks16(i) : Masks{};
        while (i + 82 <= size) {
            std::size_t count = 0;
            for (; count < kBatch && i + 82 <= size; i += 64) {
                Masks piece[4] = {next, masks16(i + 16), masks16(i + 32), masks16(i + 48)};
                next = masks16(i + 64);
                std::uint64_t open64
                    = piece[0].open | piece[1].open << 16 | piece[2].open << 32 | piece[3].open << 48;
                std::uint64_t name64
                    = piece[0].name | piece[1].name << 16 | piece[2].name << 32 | piece[3].name << 48;
                std::uint64_t slash64
                    = piece[0].slash | piece[1].slash << 16 | piece[2].slash << 32 | piece[3].slash << 48;
                // Bit n: a "<" at i + n followed by a name byte, or by "/" and a name byte; the bytes
                // after the window count for its last two positions.
                std::uint64_t nameNext = name64 >> 1 | next.name << 63;
                std::uint64_t nameAfterNext = name64 >> 2 | next.name << 62;
                std::uint64_t slashNext = slash64 >> 1 | next.slash << 63;
                std::uint64_t mask = open64 & (nameNext | (slashNext & nameAfterNext));
                while (mask != 0) {
                    batch[count++] = i + static_cast<std::size_t>(std::countr_zero(mask));
                    mask &= mask - 1;
                }
            }
            for (std::size_t k = 0; k < count; ++k) {
                std::size_t at = batch[k];
                bool closing = data[at + 1] == '/';
                onTag(at, find(ReadVector(data + at + 1 + (closing ? 1 : 0))), closing);
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
    // A name as two words: byte i at bits 8 * (i % 8) of the low or high word, zero after the name,
    // and the length (16 when no ">" came in time) in the top byte of the high word, which a name of
    // at most 15 bytes leaves free.
    struct Key
    {
        std::uint64_t low = 0;
        std::uint64_t high = 0;
    };
    // The table is as small as a collision-free multiplier allows (64 slots for a few dozen names),
    // so its lines stay in the first-level cache while the text streams past.
    static constexpr unsigned kMinSlotBits = 6;
    static constexpr unsigned kMaxSlotBits = 10;
    static constexpr std::size_t kMaxSlots = std::size_t{1} << kMaxSlotBits;
    static constexpr std::uint64_t kLengthShift = 56;
    static constexpr std::uint64_t kBelowLength = (std::uint64_t{1} << kLengthShift) - 1;

    static Key MakeKey(std::string_view name);

    static std::size_t Hash(const Key& key, std::uint64_t multiplier, unsigned shift)
    {
        std::uint64_t mixed = (key.low * multiplier) ^ (key.high * 0xc2b2ae3d27d4eb4full);
        return static_cast<std::size_t>(mixed >> shift);
    }

    // Word reads need the "<", a "/" and 16 name bytes inside the text.
    static constexpr bool kFastReads = std::endian::native == std::endian::little;
    static constexpr std::size_t kReadMargin = 18;

    // The name that starts at `name` and ends before the first ">" in the next 16 bytes, all of
    // which must lie in the text.
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
        key.high = (keep(key.high, highLength) & kBelowLength) | (std::uint64_t{length} << kLengthShift);
        return key;
    }

    // The same with byte reads, for names near the end of the text.
    static Key ReadBytes(const char* name, const char* end);

#if defined(__SSE2__)
    // ReadWords with one vector compare: the ">" found by a byte mask, the name kept by a table mask.
    static Key ReadVector(const char* name)
    {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(name));
        auto closes = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('>'))));
        auto length = static_cast<unsigned>(std::countr_zero(closes | 0x10000u));
        __m128i kept = _mm_and_si128(
            bytes,
            _mm_load_si128(reinterpret_cast<const __m128i*>(tag_scanner_detail::kKeepMasks.rows[length])));
        Key key;
        key.low = static_cast<std::uint64_t>(_mm_cvtsi128_si64(kept));
        key.high = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(kept, kept)))
            | (std::uint64_t{length} << kLengthShift);
        return key;
    }
#endif

    // The multiplier is chosen so that no two names share a slot: one probe, with the key stored in
    // the slot itself, decides. kUnknown when the key is no name of the set.
    struct Finder
    {
        const Key* keys;
        const std::uint16_t* names;
        std::uint64_t multiplier;
        unsigned shift;

        std::uint16_t operator()(const Key& key) const
        {
            std::size_t slot = Hash(key, multiplier, shift);
            bool same = ((keys[slot].low ^ key.low) | (keys[slot].high ^ key.high)) == 0;
            return same ? names[slot] : kUnknown;
        }
    };
    // Taken once per scan, so the table's address and hash parameters stay in registers.
    Finder MakeFinder() const
    {
        return Finder{slotKeys_.data(), slotNames_.data(), multiplier_, 64 - slotBits_};
    }

    std::vector<std::string_view> names_;
    // Empty slots hold a key whose length byte no text produces.
    std::array<Key, kMaxSlots> slotKeys_{};
    std::array<std::uint16_t, kMaxSlots> slotNames_{};
    unsigned slotBits_ = kMinSlotBits;
    // The range of the names' first bytes.
    unsigned char firstByteLow_ = 0xff;
    unsigned char firstByteHigh_ = 0;
    std::uint64_t multiplier_ = 0x9e3779b97f4a7c15ull;
};

} // namespace tallyhawk
