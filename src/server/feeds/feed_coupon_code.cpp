#include "server/feeds/feed_coupon_code.h"

#include <algorithm>
#include <cctype>

namespace tallyhawk::server
{

namespace
{

constexpr std::size_t kShortest = 3;
constexpr std::size_t kLongest = 20;

bool IsCodeCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsWordCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

// The code that starts at `at` (after spaces and one colon), or nothing.
std::optional<std::string> CodeAt(std::string_view text, std::size_t at)
{
    while (at < text.size() && (text[at] == ' ' || text[at] == ':' || text[at] == '\t')) {
        ++at;
    }
    std::size_t end = at;
    while (end < text.size() && IsCodeCharacter(text[end])) {
        ++end;
    }
    const std::string_view code = text.substr(at, end - at);
    if (code.size() < kShortest || code.size() > kLongest || (end < text.size() && IsWordCharacter(text[end]))
        || std::none_of(code.begin(), code.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) {
        return std::nullopt;
    }
    return std::string(code);
}

} // namespace

std::optional<std::string> FeedCouponCode::First(std::string_view text)
{
    std::string lower(text);
    std::transform(
        lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    for (std::size_t at = 0; at < lower.size(); ++at) {
        if (at > 0 && IsWordCharacter(lower[at - 1])) {
            continue;
        }
        for (std::string_view word : {"code", "coupon", "use"}) {
            const std::size_t after = at + word.size();
            if (lower.compare(at, word.size(), word) == 0 && after < lower.size()
                && !IsWordCharacter(lower[after])) {
                if (std::optional<std::string> code = CodeAt(text, after)) {
                    return code;
                }
            }
        }
    }
    return std::nullopt;
}

} // namespace tallyhawk::server
