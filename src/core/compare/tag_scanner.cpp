#include "core/compare/tag_scanner.h"

#include <algorithm>

namespace tallyhawk
{

TagScanner::TagScanner(std::vector<std::string_view> names)
    : names_(std::move(names))
{
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
