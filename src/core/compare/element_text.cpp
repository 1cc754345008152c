#include "core/compare/element_text.h"

#include "core/common/byte_text.h"

namespace tallyhawk
{

std::optional<std::string_view>
ElementView(std::string_view block, std::string_view openTag, std::string_view closeTag)
{
    std::size_t open = block.find(openTag);
    if (open == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t close = block.find(closeTag);
    std::size_t valueStart = open + openTag.size();
    if (close == std::string_view::npos || close < valueStart) {
        return std::nullopt;
    }
    return block.substr(valueStart, close - valueStart);
}

std::optional<std::string>
ElementText(std::string_view block, std::string_view openTag, std::string_view closeTag)
{
    std::optional<std::string_view> value = ElementView(block, openTag, closeTag);
    if (!value) {
        return std::nullopt;
    }
    return std::string(*value);
}

std::int32_t ElementNumber(std::string_view block, std::string_view openTag, std::string_view closeTag)
{
    std::optional<std::string_view> value = ElementView(block, openTag, closeTag);
    return value ? AtoiRule(*value) : 0;
}

} // namespace tallyhawk
