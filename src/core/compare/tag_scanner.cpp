#include "core/compare/tag_scanner.h"

#include <algorithm>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace tallyhawk
{

namespace
{

#if defined(__SSE2__)

// The positions of one 64-byte window at i whose "<" is followed by a name byte, or by "/" and a name
// byte, added to `out`. The masks have bit n for byte i + n; the two bytes after the window are read
// one by one (should they lie past a zero byte that ends the text, they can only turn a candidate
// away or give one whose name holds that zero, which no name matches). Plain code, so both vector
// variants below can take it in.
inline void AddWindow(const char* data,
                      std::size_t i,
                      std::uint64_t open64,
                      std::uint64_t name64,
                      std::uint64_t slash64,
                      unsigned char low,
                      unsigned char high,
                      std::size_t* out,
                      std::size_t& count)
{
    auto nameByte = [low, high](char c) -> std::uint64_t {
        return static_cast<unsigned char>(static_cast<unsigned char>(c) - low) <= high - low ? 1 : 0;
    };
    std::uint64_t name64After = nameByte(data[i + 64]);
    std::uint64_t name65After = nameByte(data[i + 65]);
    std::uint64_t slash64After = data[i + 64] == '/' ? 1 : 0;
    std::uint64_t nameNext = name64 >> 1 | name64After << 63;
    std::uint64_t nameAfterNext = name64 >> 2 | name64After << 62 | name65After << 63;
    std::uint64_t slashNext = slash64 >> 1 | slash64After << 63;
    std::uint64_t mask = open64 & (nameNext | (slashNext & nameAfterNext));
    while (mask != 0) {
        out[count++] = i + static_cast<std::size_t>(std::countr_zero(mask));
        mask &= mask - 1;
    }
}

std::size_t CollectSse2(const char* data,
                        std::size_t i,
                        std::size_t size,
                        std::size_t* out,
                        std::size_t& count,
                        bool& zero,
                        unsigned char low,
                        unsigned char high,
                        std::size_t capacity,
                        std::size_t margin)
{
    const __m128i nothing = _mm_setzero_si128();
    const __m128i open = _mm_set1_epi8('<');
    const __m128i slash = _mm_set1_epi8('/');
    // A byte may start a name when byte - low, taken unsigned, is at most high - low: one add and
    // one signed compare.
    const __m128i shift = _mm_set1_epi8(static_cast<char>(0x80 - low));
    const __m128i limit = _mm_set1_epi8(static_cast<char>(high - low - 127));
    for (; count < capacity && i + margin <= size; i += 64) {
        std::uint64_t open64 = 0;
        std::uint64_t name64 = 0;
        std::uint64_t slash64 = 0;
        std::uint64_t zero64 = 0;
        for (int piece = 0; piece < 4; ++piece) {
            __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 16 * piece));
            auto bits = [piece](__m128i found) {
                return static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(found)))
                    << (16 * piece);
            };
            zero64 |= bits(_mm_cmpeq_epi8(bytes, nothing));
            open64 |= bits(_mm_cmpeq_epi8(bytes, open));
            name64 |= bits(_mm_cmpgt_epi8(limit, _mm_add_epi8(bytes, shift)));
            slash64 |= bits(_mm_cmpeq_epi8(bytes, slash));
        }
        if (zero64 != 0) {
            zero = true;
            break;
        }
        AddWindow(data, i, open64, name64, slash64, low, high, out, count);
    }
    return i;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TALLYHAWK_TAG_SCANNER_AVX2 1

// Bit n of the result: byte n of low32, then of high32, matched.
__attribute__((target("avx2"))) inline std::uint64_t Bits64(__m256i low32, __m256i high32)
{
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(low32)))
        | static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(high32))) << 32;
}

__attribute__((target("avx2"))) std::size_t CollectAvx2(const char* data,
                                                        std::size_t i,
                                                        std::size_t size,
                                                        std::size_t* out,
                                                        std::size_t& count,
                                                        bool& zero,
                                                        unsigned char low,
                                                        unsigned char high,
                                                        std::size_t capacity,
                                                        std::size_t margin)
{
    const __m256i nothing = _mm256_setzero_si256();
    const __m256i open = _mm256_set1_epi8('<');
    const __m256i slash = _mm256_set1_epi8('/');
    const __m256i shift = _mm256_set1_epi8(static_cast<char>(0x80 - low));
    const __m256i limit = _mm256_set1_epi8(static_cast<char>(high - low - 127));
    for (; count < capacity && i + margin <= size; i += 64) {
        __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + 32));
        if (Bits64(_mm256_cmpeq_epi8(first, nothing), _mm256_cmpeq_epi8(second, nothing)) != 0) {
            zero = true;
            break;
        }
        std::uint64_t open64 = Bits64(_mm256_cmpeq_epi8(first, open), _mm256_cmpeq_epi8(second, open));
        std::uint64_t name64 = Bits64(_mm256_cmpgt_epi8(limit, _mm256_add_epi8(first, shift)),
                                      _mm256_cmpgt_epi8(limit, _mm256_add_epi8(second, shift)));
        std::uint64_t slash64 = Bits64(_mm256_cmpeq_epi8(first, slash), _mm256_cmpeq_epi8(second, slash));
        AddWindow(data, i, open64, name64, slash64, low, high, out, count);
    }
    return i;
}
#endif

#endif

} // namespace

TagScanner::TagScanner(std::vector<std::string_view> names, Vectors vectors)
    : names_(std::move(names))
{
#if defined(TALLYHAWK_TAG_SCANNER_AVX2)
    wideVectors_ = vectors == Vectors::Widest && __builtin_cpu_supports("avx2");
#else
    (void)vectors;
#endif
    std::vector<std::pair<Key, std::uint16_t>> usable;
    for (std::size_t i = 0; i < names_.size() && i < kMaxNames; ++i) {
        std::string_view name = names_[i];
        if (name.empty() || name.size() > kMaxNameLength
            || name.find_first_of("<>") != std::string_view::npos) {
            continue;
        }
        usable.emplace_back(MakeKey(name), static_cast<std::uint16_t>(i));
        firstByteLow_ = std::min(firstByteLow_, static_cast<unsigned char>(name.front()));
        firstByteHigh_ = std::max(firstByteHigh_, static_cast<unsigned char>(name.front()));
    }
    // Look for a multiplier that gives every name its own slot, in the smallest table where one is
    // found within a few thousand tries.
    const Key empty{0, std::uint64_t{0xff} << kLengthShift};
    for (std::uint64_t attempt = 0;; ++attempt) {
        slotBits_ = std::min<unsigned>(kMinSlotBits + static_cast<unsigned>(attempt / 4096), kMaxSlotBits);
        multiplier_ = (0x9e3779b97f4a7c15ull + 2 * attempt) | 1;
        slotKeys_.fill(empty);
        slotNames_.fill(kUnknown);
        bool distinct = true;
        for (const auto& [key, index] : usable) {
            std::size_t slot = Hash(key, multiplier_, 64 - slotBits_);
            bool taken = slotNames_[slot] != kUnknown;
            if (taken && (slotKeys_[slot].low != key.low || slotKeys_[slot].high != key.high)) {
                distinct = false;
                break;
            }
            if (!taken) {
                slotKeys_[slot] = key;
                slotNames_[slot] = index;
            }
        }
        if (distinct) {
            break;
        }
    }
}

TagScanner::Key TagScanner::MakeKey(std::string_view name)
{
    Key key;
    for (std::size_t i = 0; i < name.size() && i < 15; ++i) {
        std::uint64_t byte = static_cast<unsigned char>(name[i]);
        (i < 8 ? key.low : key.high) |= byte << (8 * (i % 8));
    }
    key.high |= std::uint64_t{std::min<std::size_t>(name.size(), 16)} << kLengthShift;
    return key;
}

#if defined(__SSE2__)
std::size_t TagScanner::CollectCandidates(const char* data,
                                          std::size_t from,
                                          std::size_t size,
                                          std::size_t* out,
                                          std::size_t& count,
                                          bool& zero) const
{
#if defined(TALLYHAWK_TAG_SCANNER_AVX2)
    if (wideVectors_) {
        return CollectAvx2(
            data, from, size, out, count, zero, firstByteLow_, firstByteHigh_, kBatch, kWindowMargin);
    }
#endif
    return CollectSse2(
        data, from, size, out, count, zero, firstByteLow_, firstByteHigh_, kBatch, kWindowMargin);
}
#endif

TagScanner::Key TagScanner::ReadBytes(const char* name, const char* end)
{
    const char* limit
        = end - name > static_cast<std::ptrdiff_t>(kMaxNameLength) ? name + kMaxNameLength + 1 : end;
    for (const char* at = name; at < limit; ++at) {
        if (*at == '>') {
            return MakeKey(std::string_view(name, static_cast<std::size_t>(at - name)));
        }
    }
    return Key{0, std::uint64_t{kMaxNameLength + 1} << kLengthShift};
}

} // namespace tallyhawk
