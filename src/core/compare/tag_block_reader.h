#pragma once

#include "core/compare/tag_scanner.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tallyhawk
{

// Cuts a text into blocks from tags reported by a TagScanner: a block runs from an opening tag of
// `blockName` through the first closing tag after it, and the next block is looked for after its end.
// Inside a block it keeps the first opening and first closing occurrence of every name, so element
// values read exactly as ElementView reads them from the block text.
class TagBlockReader
{
public:
    TagBlockReader(const TagScanner& names, std::string_view text, std::uint16_t blockName)
        : names_(names)
        , text_(text)
        , blockName_(blockName)
    { }

    // One tag, in text order. True when it closed a block; the block's values can then be read.
    bool Feed(std::size_t position, std::uint16_t name, bool closing)
    {
        if (!inBlock_) {
            if (name == blockName_ && !closing) {
                inBlock_ = true;
                std::fill_n(open_.begin(), names_.size(), kNone);
                std::fill_n(close_.begin(), names_.size(), kNone);
                open_[TagScanner::kUnknown] = kNone;
                close_[TagScanner::kUnknown] = kNone;
            }
            return false;
        }
        if (name == blockName_ && closing) {
            inBlock_ = false;
            return true;
        }
        // Positions only grow, so the smallest is the first; unknown tags land in their own slot.
        std::size_t& first = closing ? close_[name] : open_[name];
        first = std::min(first, position);
        return false;
    }

    // The value of element `name` in the block just closed, as ElementView gives it.
    std::optional<std::string_view> Value(std::uint16_t name) const
    {
        std::size_t open = open_[name];
        std::size_t close = close_[name];
        if (open == kNone || close == kNone) {
            return std::nullopt;
        }
        std::size_t valueStart = open + names_[name].size() + 2;
        if (close < valueStart) {
            return std::nullopt;
        }
        return text_.substr(valueStart, close - valueStart);
    }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    const TagScanner& names_;
    std::string_view text_;
    std::uint16_t blockName_;
    bool inBlock_ = false;
    std::array<std::size_t, TagScanner::kMaxNames + 1> open_{};
    std::array<std::size_t, TagScanner::kMaxNames + 1> close_{};
};

} // namespace tallyhawk
