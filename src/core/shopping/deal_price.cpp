#include "core/shopping/deal_price.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace tallyhawk
{

namespace
{

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool EndsWithCurrency(std::string_view before)
{
    for (std::string_view sign : {"$", "\xE2\x82\xAC", "\xC2\xA3"}) {
        std::string_view rest = before;
        while (!rest.empty() && rest.back() == ' ') {
            rest.remove_suffix(1);
        }
        if (rest.size() >= sign.size() && rest.substr(rest.size() - sign.size()) == sign) {
            return true;
        }
    }
    return false;
}

struct Number
{
    double value = 0;
    std::size_t end = 0;
    bool percent = false;
    bool currency = false;
};

// The number starting at `at` (a digit): digits, commas between groups of three, one decimal point.
Number ReadNumber(std::string_view text, std::size_t at)
{
    std::string digits;
    std::size_t i = at;
    bool point = false;
    while (i < text.size()) {
        const char c = text[i];
        if (IsDigit(c)) {
            digits += c;
        } else if (c == ',' && !point && i + 3 < text.size() && IsDigit(text[i + 1]) && IsDigit(text[i + 2])
                   && IsDigit(text[i + 3]) && (i + 4 == text.size() || !IsDigit(text[i + 4]))) {
            // A thousands separator.
        } else if (c == '.' && !point && i + 1 < text.size() && IsDigit(text[i + 1])) {
            point = true;
            digits += '.';
        } else {
            break;
        }
        ++i;
    }
    Number number;
    // Never throws: a number too large for a double reads as infinite and is refused by the caller.
    number.value = std::strtod(digits.c_str(), nullptr);
    number.end = i;
    std::size_t after = i;
    while (after < text.size() && text[after] == ' ') {
        ++after;
    }
    number.percent = after < text.size() && text[after] == '%';
    number.currency = EndsWithCurrency(text.substr(0, at));
    return number;
}

} // namespace

std::optional<double> DealPrice(std::string_view extra)
{
    std::optional<double> first;
    std::size_t at = 0;
    while (at < extra.size()) {
        if (!IsDigit(extra[at]) || (at > 0 && IsDigit(extra[at - 1]))) {
            ++at;
            continue;
        }
        const Number number = ReadNumber(extra, at);
        at = number.end;
        if (!std::isfinite(number.value)) {
            continue;
        }
        if (number.currency) {
            return number.value;
        }
        if (!number.percent && !first) {
            first = number.value;
        }
    }
    return first;
}

} // namespace tallyhawk
