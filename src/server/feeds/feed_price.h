#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tallyhawk::server
{

// The first price written in a text, as written: "$12.99", "£5", "€ 3,50", "12,99 €", "1,299.00$".
// A currency sign ($, £, €, ¥) before or after a number makes a price; a number alone does not.
class FeedPrice
{
public:
    static std::optional<std::string> First(std::string_view text);
};

} // namespace tallyhawk::server
