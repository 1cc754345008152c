#pragma once

#include "core/compare/tag_scanner.h"

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
                blockStart_ = position + 1;
            }
            return false;
        }
        if (name == blockName_ && closing) {
            inBlock_ = false;
            return true;
        }
        // Slots hold position + 1. Every tag inside a block lies after its opening tag, so a slot at
        // or below blockStart_ is left from an earlier block (or was never set) and counts as empty:
        // nothing is cleared when a block opens. Unknown tags land in their own slot.
        std::size_t& first = closing ? close_[name] : open_[name];
        first = first > blockStart_ ? first : position + 1;
        return false;
    }

    // The value of element `name` in the block just closed, as ElementView gives it.
    std::optional<std::string_view> Value(std::uint16_t name) const
    {
        std::size_t open = open_[name];
        std::size_t close = close_[name];
        if (open <= blockStart_ || close <= blockStart_) {
            return std::nullopt;
        }
        std::size_t valueStart = open - 1 + names_[name].size() + 2;
        if (close - 1 < valueStart) {
            return std::nullopt;
        }
        return text_.substr(valueStart, close - 1 - valueStart);
    }

private:
    const TagScanner& names_;
    std::string_view text_;
    std::uint16_t blockName_;
    bool inBlock_ = false;
    std::size_t blockStart_ = 0; // position of the current block's opening tag + 1
    std::array<std::size_t, TagScanner::kMaxNames + 1> open_{};
    std::array<std::size_t, TagScanner::kMaxNames + 1> close_{};
};

} // namespace tallyhawk
