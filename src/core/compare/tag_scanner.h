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

    // Which vector instructions collect the candidate tags: the widest the processor has, or 16-byte
    // ones only (so tests can compare the two).
    enum class Vectors
    {
        Widest,
        Narrow,
    };

    // Element names without brackets, 1 to kMaxNameLength bytes without "<" or ">", at most kMaxNames
    // of them; the views must outlive the scanner. Name i is reported as i.
    explicit TagScanner(std::vector<std::string_view> names, Vectors vectors = Vectors::Widest);

    std::size_t size() const { return names_.size(); }
    std::string_view operator[](std::size_t index) const { return names_[index]; }

    // Calls onTag(position of the "<", name index, closing) for every tag of the set in the text, in
    // text order, and possibly for other "<" with the name index kUnknown. (Passing those on keeps
    // the scan free of a hard-to-predict branch per tag.) A zero byte ends the text, as in a file read
    // as a terminated text.
    template <typename OnTag>
    void Scan(std::string_view text, OnTag onTag) const
    {
        const char* data = text.data();
        const std::size_t size = text.size();
        const Finder find = MakeFinder();
        // Every tag occurrence starts at a "<" and its name runs to the first ">" after it. A "<" far
        // enough from the end is read with word loads and no data-dependent branch but the last.
        auto visit = [&](std::size_t at, std::size_t end) {
            const char* name = data + at + 1;
            bool closing = name < data + end && *name == '/';
            name += closing ? 1 : 0;
            Key key = kFastReads && at + kReadMargin <= end ? ReadWords(name) : ReadBytes(name, data + end);
            onTag(at, find(key), closing);
        };
        std::size_t i = 0;
#if defined(__SSE2__)
        // Two phases per batch: the positions of the "<" that may open a tag are collected with vector
        // compares, then looked at one after the other, so the look at one tag does not wait on the
        // search for the next. A collected "<" has its "/" and 16 name bytes inside the text.
        std::size_t batch[kBatch + 64];
        bool zero = false;
        while (!zero && i + kWindowMargin <= size) {
            std::size_t count = 0;
            i = CollectCandidates(data, i, size, batch, count, zero);
            for (std::size_t k = 0; k < count; ++k) {
                std::size_t at = batch[k];
                bool closing = data[at + 1] == '/';
                onTag(at, find(ReadVector(data + at + 1 + (closing ? 1 : 0))), closing);
            }
        }
#endif
        // The rest, up to the zero byte that ends the text if there is one.
        const std::size_t zeroAt = std::string_view(data + i, size - i).find('\0');
        const std::size_t end = zeroAt == std::string_view::npos ? size : i + zeroAt;
        while (i < end) {
            const void* hit = std::memchr(data + i, '<', end - i);
            if (hit == nullptr) {
                break;
            }
            i = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
            visit(i, end);
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

    // Candidates collected per batch; a 64-byte window adds at most 64.
    static constexpr std::size_t kBatch = 512;
    // A window at i is looked at while i + kWindowMargin <= size: its last "<" then has a "/" and 16
    // name bytes inside the text (i + 63 + 18 < i + 82).
    static constexpr std::size_t kWindowMargin = 82;

    // Collects, 64 bytes at a time from `from`, the positions of each "<" followed by a byte that can
    // start a name, or by "/" and such a byte, until about kBatch are found, the margin is reached or
    // a window holds a zero byte (then `zero` is set and the window is left to the caller); returns
    // where it stopped. Uses 32-byte vectors where the processor has them.
    std::size_t CollectCandidates(const char* data,
                                  std::size_t from,
                                  std::size_t size,
                                  std::size_t* out,
                                  std::size_t& count,
                                  bool& zero) const;

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
    bool wideVectors_ = false;
    // The range of the names' first bytes.
    unsigned char firstByteLow_ = 0xff;
    unsigned char firstByteHigh_ = 0;
    std::uint64_t multiplier_ = 0x9e3779b97f4a7c15ull;
};

} // namespace tallyhawk
