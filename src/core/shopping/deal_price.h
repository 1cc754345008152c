#pragma once

#include <optional>
#include <string_view>

namespace tallyhawk
{

// The price a deal's short extra text names ("$199.99", "Now 1,299 EUR", "only 5.49"): the first number
// right after a currency sign ($, € or £) when there is one, else the first number that is not a
// percentage. Commas between digit groups are thousands separators. Nothing when no price is named.
std::optional<double> DealPrice(std::string_view extra);

} // namespace tallyhawk
