#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tallyhawk
{

// The raw text between the first opening tag and the first closing tag of a block, both searched from
// the start of the block: no trimming, no entity decoding. Absent when either tag is missing or the
// closing tag starts before the opening tag ends; "<a></a>" gives a present, empty text. The view
// points into `block`.
std::optional<std::string_view>
ElementView(std::string_view block, std::string_view openTag, std::string_view closeTag);

// ElementView as an owned text.
std::optional<std::string>
ElementText(std::string_view block, std::string_view openTag, std::string_view closeTag);

// ElementView read as a decimal number (leading blanks, optional sign, digits); 0 when absent.
std::int32_t ElementNumber(std::string_view block, std::string_view openTag, std::string_view closeTag);

} // namespace tallyhawk
