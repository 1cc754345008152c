#include "core/shopping/product_input.h"
#include "core/shopping/shopping_record.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

namespace tallyhawk
{
namespace
{

const std::string kEmptyName = "The product name can not be empty.";
const std::string kLongName = "The product name has more than 50 characters.";
const std::string kCutName
    = "The product name is too long to be kept whole: a product keeps 49 bytes of its name, and in UTF-8 "
      "an accented letter takes 2 bytes.";
const std::string kBadPrice = "The price per unit must be a number from 0 to 1000000000.";
const std::string kBadQuantity = "The quantity must be a number from 0 to 1000000000.";
const std::string kBadTax = "The tax must be a number from 0 to 1000000000.";

// "é" is two bytes in UTF-8.
std::string Accented(std::size_t letters)
{
    std::string text;
    for (std::size_t i = 0; i < letters; ++i) {
        text += "\xC3\xA9";
    }
    return text;
}

TEST(ProductInputTest, NamesAreCheckedByCharactersAndByTheBytesTheirFieldKeeps)
{
    const struct
    {
        std::string name;
        std::optional<std::string> failure;
    } cases[] = {
        {"", kEmptyName},
        {" \t ", kEmptyName},
        {"Milk", std::nullopt},
        {std::string(49, 'a'), std::nullopt},
        // The 50th character is the one the field always drops.
        {std::string(50, 'a'), std::nullopt},
        {std::string(49, 'a') + Accented(1), std::nullopt},
        {std::string(51, 'a'), kLongName},
        {Accented(51), kLongName},
        // Not UTF-8: a character per byte.
        {std::string(51, '\xFF'), kLongName},
        {std::string(50, '\xFF'), std::nullopt},
        // 24 letters of two bytes and one of one: 49 bytes, 25 characters.
        {Accented(24) + "a", std::nullopt},
        // 25 letters of two bytes: 50 bytes in 25 characters, which the field would cut.
        {Accented(25), kCutName},
        {"a" + Accented(24) + "a", kCutName},
        {std::string(48, 'a') + Accented(1), kCutName},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(ProductInput::CheckName(entry.name), entry.failure) << entry.name;
    }
    EXPECT_EQ(ProductInput::kNameBytes + 1, ShoppingRecord::kNameSize);
}

TEST(ProductInputTest, AmountsAreWholeDecimalNumbersFromZeroToTheLimit)
{
    using Amount = ProductInput::Amount;
    const struct
    {
        Amount which;
        std::string text;
        double value;
        std::optional<std::string> failure;
    } cases[] = {
        {Amount::PricePerUnit, "", 0, std::nullopt},
        {Amount::PricePerUnit, "   ", 0, std::nullopt},
        {Amount::PricePerUnit, " 3.50 ", 3.5, std::nullopt},
        {Amount::PricePerUnit, "+2", 2, std::nullopt},
        {Amount::PricePerUnit, ".5", 0.5, std::nullopt},
        {Amount::PricePerUnit, "1e3", 1000, std::nullopt},
        {Amount::PricePerUnit, "1000000000", 1e9, std::nullopt},
        {Amount::PricePerUnit, "1000000000.01", 0, kBadPrice},
        {Amount::PricePerUnit, "1e999", 0, kBadPrice},
        {Amount::PricePerUnit, "-0.01", 0, kBadPrice},
        {Amount::PricePerUnit, "-0", 0, std::nullopt},
        {Amount::PricePerUnit, "abc", 0, kBadPrice},
        {Amount::PricePerUnit, "12abc", 0, kBadPrice},
        {Amount::PricePerUnit, "3,50", 0, kBadPrice},
        {Amount::PricePerUnit, "inf", 0, kBadPrice},
        {Amount::PricePerUnit, "nan", 0, kBadPrice},
        {Amount::PricePerUnit, "0x10", 0, kBadPrice},
        {Amount::PricePerUnit, "+-1", 0, kBadPrice},
        {Amount::PricePerUnit, std::string(41, '1'), 0, kBadPrice},
        {Amount::Quantity, "0", 0, std::nullopt},
        {Amount::Quantity, "1.00", 1, std::nullopt},
        {Amount::Quantity, "1000000001", 0, kBadQuantity},
        {Amount::Quantity, "x", 0, kBadQuantity},
        {Amount::TaxPercent, "-5", 0, kBadTax},
    };
    for (const auto& entry : cases) {
        const ProductInput::Reading reading = ProductInput::ReadAmount(entry.which, entry.text);
        EXPECT_EQ(reading.failure, entry.failure) << entry.text;
        EXPECT_EQ(reading.value, entry.value) << entry.text;
    }
}

// The commands check the values themselves, whatever read them.
TEST(ProductInputTest, ValuesAreCheckedNameFirstThenEachAmount)
{
    ShoppingValues values;
    values.name = "Milk";
    EXPECT_EQ(ProductInput::Check(values), std::nullopt);
    values.quantity = 2e9;
    values.taxPercent = -1;
    EXPECT_EQ(ProductInput::Check(values), kBadQuantity);
    values.pricePerUnit = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(ProductInput::Check(values), kBadPrice);
    values.name = Accented(25);
    EXPECT_EQ(ProductInput::Check(values), kCutName);
}

} // namespace
} // namespace tallyhawk
