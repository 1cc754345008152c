#include "core/compare/tag_scanner.h"

namespace tallyhawk
{

TagScanner::TagScanner(std::vector<std::string_view> names)
    : names_(std::move(names))
{
    keys_[kUnknown] = Key{0, 0, 2 * (kMaxNameLength + 1)};
    std::vector<std::size_t> usable;
    for (std::size_t i = 0; i < names_.size() && i < kMaxNames; ++i) {
        std::string_view name = names_[i];
        if (name.empty() || name.size() > kMaxNameLength
            || name.find_first_of("<>") != std::string_view::npos) {
            continue;
        }
        keys_[i] = MakeKey(name);
        usable.push_back(i);
    }
    // Look for a multiplier that gives every name its own slot (a few tries for a handful of names).
    for (std::uint64_t attempt = 0;; ++attempt) {
        multiplier_ = (0x9e3779b97f4a7c15ull + 2 * attempt) | 1;
        slots_.fill(kUnknown);
        bool distinct = true;
        for (std::size_t i : usable) {
            std::uint16_t& slot = slots_[Hash(keys_[i])];
            if (slot != kUnknown && !(keys_[slot] == keys_[i])) {
                distinct = false;
                break;
            }
            if (slot == kUnknown) {
                slot = static_cast<std::uint16_t>(i);
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
    key.length = name.size();
    for (std::size_t i = 0; i < name.size() && i < 16; ++i) {
        std::uint64_t byte = static_cast<unsigned char>(name[i]);
        (i < 8 ? key.low : key.high) |= byte << (8 * (i % 8));
    }
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
    return Key{0, 0, kMaxNameLength + 1};
}

} // namespace tallyhawk
