#include "server/feeds/feed_price.h"

#include <array>
#include <cctype>

namespace tallyhawk::server
{

namespace
{

constexpr std::array<std::string_view, 4> kCurrencySigns = {"$", "\xC2\xA3", "\xE2\x82\xAC", "\xC2\xA5"};

// The length of the currency sign at `pos`, 0 when there is none.
std::size_t SignAt(std::string_view text, std::size_t pos)
{
    for (std::string_view sign : kCurrencySigns) {
        if (text.compare(pos, sign.size(), sign) == 0) {
            return sign.size();
        }
    }
    return 0;
}

bool IsDigit(std::string_view text, std::size_t pos)
{
    return pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]));
}

// The length of the amount at `pos`: digits, then groups or decimals after '.' or ','
// ("1,299.00", "12,99"); a separator not followed by a digit ends it.
std::size_t AmountAt(std::string_view text, std::size_t pos)
{
    std::size_t end = pos;
    while (IsDigit(text, end)) {
        ++end;
    }
    if (end == pos) {
        return 0;
    }
    while (end + 1 < text.size() && (text[end] == '.' || text[end] == ',') && IsDigit(text, end + 1)) {
        ++end;
        while (IsDigit(text, end)) {
            ++end;
        }
    }
    return end - pos;
}

// One space (or none) may stand between sign and amount.
std::size_t SpaceAt(std::string_view text, std::size_t pos)
{
    if (pos < text.size() && text[pos] == ' ') {
        return 1;
    }
    if (text.compare(pos, 2, "\xC2\xA0") == 0) {
        return 2;
    }
    return 0;
}

std::string Written(std::string_view sign, std::string_view amount, bool signFirst, bool spaced)
{
    std::string price;
    price += signFirst ? sign : amount;
    if (spaced) {
        price += ' ';
    }
    price += signFirst ? amount : sign;
    return price;
}

} // namespace

std::optional<std::string> FeedPrice::First(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        if (std::size_t sign = SignAt(text, pos)) {
            std::size_t space = SpaceAt(text, pos + sign);
            if (std::size_t amount = AmountAt(text, pos + sign + space)) {
                return Written(
                    text.substr(pos, sign), text.substr(pos + sign + space, amount), true, space != 0);
            }
            continue;
        }
        // An amount starts at a digit that does not continue a word or a number.
        if (!IsDigit(text, pos) || (pos > 0 && std::isalnum(static_cast<unsigned char>(text[pos - 1])))) {
            continue;
        }
        std::size_t amount = AmountAt(text, pos);
        std::size_t space = SpaceAt(text, pos + amount);
        std::size_t sign = SignAt(text, pos + amount + space);
        // A sign right before digits is the next amount's ("Deal 4999 $59.99"), not this number's.
        if (sign != 0 && !IsDigit(text, pos + amount + space + sign)) {
            return Written(
                text.substr(pos + amount + space, sign), text.substr(pos, amount), false, space != 0);
        }
        pos += amount - 1;
    }
    return std::nullopt;
}

} // namespace tallyhawk::server
