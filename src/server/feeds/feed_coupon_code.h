#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tallyhawk::server
{

// The coupon code a text gives, as deal feeds write it: the word "code" (or "coupon", "promo code",
// "use") followed, after an optional colon, by a word of 3 to 20 capital letters and digits with at
// least one capital ("Use code SAVE20 at checkout" gives "SAVE20").
class FeedCouponCode
{
public:
    static std::optional<std::string> First(std::string_view text);
};

} // namespace tallyhawk::server
