#pragma once

#include "core/shopping/shopping_record.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tallyhawk
{

// The checks of a product's name, price, quantity and tax, the same in every program that saves one,
// so that the same bad input gets the same message. Each gives nothing when the input is good and the
// message to show otherwise.
class ProductInput
{
public:
    // A name may have this many characters; the field keeps the first 49 of them.
    static constexpr std::size_t kNameCharacters = 50;
    // The name is kept as its UTF-8 bytes in a field that ends in a zero byte: this many bytes fit.
    static constexpr std::size_t kNameBytes = ShoppingRecord::kNameSize - 1;
    // Amounts above this are typing mistakes: they would only show as long rows of digits, and sums of
    // them lose their cents.
    static constexpr double kAmountLimit = 1e9;

    enum class Amount
    {
        PricePerUnit,
        Quantity,
        TaxPercent,
    };

    // The name's text as stored (UTF-8 from the editor, the bytes given on a command line).
    static std::optional<std::string> CheckName(std::string_view name);
    // A number from 0 to kAmountLimit.
    static std::optional<std::string> CheckAmount(Amount which, double value);
    // The name and the three amounts of values about to be saved; the first failure.
    static std::optional<std::string> Check(const ShoppingValues& values);

    struct Reading
    {
        double value = 0;
        std::optional<std::string> failure;
    };
    // A typed amount: blank is 0; otherwise the whole text but blanks at either end must be a decimal
    // number (an optional sign, digits with one point, an exponent) that CheckAmount accepts. Read
    // alike in every locale.
    static Reading ReadAmount(Amount which, std::string_view text);
};

} // namespace tallyhawk
