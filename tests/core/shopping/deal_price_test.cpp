#include "core/shopping/deal_price.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tallyhawk
{
namespace
{

TEST(DealPrice, TheNamedPriceOfAnExtraText)
{
    struct Case
    {
        std::string extra;
        std::optional<double> price;
    };
    const Case cases[] = {
        {"$199.99", 199.99},
        {"$ 5", 5.0},
        {"Now 1,299 EUR", 1299.0},
        {"1,299,999.50", 1299999.5},
        {"only 5.49", 5.49},
        // A percentage is no price; the sign picks the price among numbers.
        {"50% off, $20", 20.0},
        {"Save 30%", std::nullopt},
        {"2 for \xE2\x82\xAC"
         "3",
         3.0},
        {"\xC2\xA3"
         "12.5",
         12.5},
        {"Free shipping", std::nullopt},
        {"", std::nullopt},
        // A comma that does not stand before three digits ends the number.
        {"5,5", 5.0},
        {"12.", 12.0},
        {std::string(400, '9'), std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DealPrice(c.extra), c.price) << c.extra;
    }
}

} // namespace
} // namespace tallyhawk
