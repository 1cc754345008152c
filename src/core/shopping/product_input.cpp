#include "core/shopping/product_input.h"

#include "core/common/display_text.h"

#include <charconv>
#include <cmath>

namespace tallyhawk
{
namespace
{

// Longer than any number worth typing; refused before it is read.
constexpr std::size_t kAmountTextLimit = 40;

std::string_view Trimmed(std::string_view text)
{
    constexpr std::string_view kBlanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string AmountMessage(ProductInput::Amount which)
{
    const char* what = "The price per unit";
    if (which == ProductInput::Amount::Quantity) {
        what = "The quantity";
    } else if (which == ProductInput::Amount::TaxPercent) {
        what = "The tax";
    }
    return std::string(what) + " must be a number from 0 to 1000000000.";
}

// The bytes of the first `characters` characters of valid UTF-8 `text`.
std::size_t PrefixBytes(std::string_view text, std::size_t characters)
{
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Every character has exactly one byte that is no continuation byte.
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == characters) {
            return i;
        }
    }
    return text.size();
}

} // namespace

std::optional<std::string> ProductInput::CheckName(std::string_view name)
{
    if (Trimmed(name).empty()) {
        return "The product name can not be empty.";
    }
    if (CharacterCount(name) > kNameCharacters) {
        return "The product name has more than 50 characters.";
    }
    // A name of 50 characters keeps its first 49, as the field always has. Letters of several bytes
    // could make the field cut far more than that: such a name is refused rather than cut.
    if (IsValidUtf8(name) && PrefixBytes(name, kNameCharacters - 1) > kNameBytes) {
        return "The product name is too long to be kept whole: a product keeps 49 bytes of its name, and "
               "in UTF-8 an accented letter takes 2 bytes.";
    }
    return std::nullopt;
}

std::optional<std::string> ProductInput::CheckAmount(Amount which, double value)
{
    if (!std::isfinite(value) || value < 0 || value > kAmountLimit) {
        return AmountMessage(which);
    }
    return std::nullopt;
}

std::optional<std::string> ProductInput::Check(const ShoppingValues& values)
{
    if (std::optional<std::string> failure = CheckName(values.name)) {
        return failure;
    }
    const std::pair<Amount, double> amounts[] = {{Amount::PricePerUnit, values.pricePerUnit},
                                                 {Amount::Quantity, values.quantity},
                                                 {Amount::TaxPercent, values.taxPercent}};
    for (const auto& [which, value] : amounts) {
        if (std::optional<std::string> failure = CheckAmount(which, value)) {
            return failure;
        }
    }
    return std::nullopt;
}

ProductInput::Reading ProductInput::ReadAmount(Amount which, std::string_view given)
{
    std::string_view text = Trimmed(given);
    if (text.empty()) {
        return {};
    }
    if (text.size() > kAmountTextLimit) {
        return {0, AmountMessage(which)};
    }
    // from_chars takes a minus but no plus; a plus before a number is still a number.
    if (text.front() == '+' && text.size() > 1 && text[1] != '-') {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return {0, AmountMessage(which)};
    }
    if (std::optional<std::string> failure = CheckAmount(which, value)) {
        return {0, std::move(failure)};
    }
    return {value + 0.0, std::nullopt}; // -0 reads as 0
}

} // namespace tallyhawk
