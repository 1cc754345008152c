#include "core/compare/scrape_rules.h"

#include "core/compare/wildcard_find.h"

#include <algorithm>
#include <charconv>

namespace tallyhawk
{
namespace
{

char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperCopy(std::string_view text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), UpperAscii);
    return upper;
}

bool IsPriceByte(char c)
{
    return (c >= '0' && c <= '9') || c == '.';
}

} // namespace

std::optional<TextRange> FindBetween(std::string_view block,
                                     std::optional<std::string_view> startMarker,
                                     std::optional<std::string_view> endMarker,
                                     std::stop_token stop)
{
    if (!startMarker || !endMarker) {
        return std::nullopt;
    }
    std::optional<WildcardMatch> start = WildcardFind(block, *startMarker, stop);
    if (!start) {
        return std::nullopt;
    }
    const std::size_t valueStart = std::min(block.size(), start->position + start->length);
    std::optional<WildcardMatch> end = WildcardFind(block.substr(valueStart), *endMarker, stop);
    if (!end || end->position == 0) {
        return std::nullopt;
    }
    return TextRange{valueStart, end->position};
}

std::optional<std::string> ExtractBetween(std::optional<std::string_view> block,
                                          std::optional<std::string_view> startMarker,
                                          std::optional<std::string_view> endMarker)
{
    if (!block) {
        return std::nullopt;
    }
    std::optional<TextRange> range = FindBetween(*block, startMarker, endMarker);
    if (!range) {
        return std::nullopt;
    }
    return std::string(block->substr(range->offset, range->length));
}

std::string& CleanPrice(std::string& text)
{
    std::erase(text, ',');
    std::replace_if(
        text.begin(), text.end(), [](char c) { return !IsPriceByte(c); }, ' ');
    text.erase(0, std::min(text.find_first_not_of(' '), text.size()));
    text.erase(std::min(text.find(' '), text.size()));
    return text;
}

double PriceValue(std::string_view cleaned)
{
    std::size_t end = 0;
    bool point = false;
    while (end < cleaned.size() && (IsPriceByte(cleaned[end]))) {
        if (cleaned[end] == '.') {
            if (point) {
                break;
            }
            point = true;
        }
        ++end;
    }
    std::string_view number = cleaned.substr(0, end);
    if (number.find_first_of("0123456789") == std::string_view::npos) {
        return 0.0;
    }
    double value = 0.0;
    // from_chars wants a digit before the point; ".5" reads as "0.5".
    std::string padded(number.front() == '.' ? "0" : "");
    padded += number;
    std::from_chars(padded.data(), padded.data() + padded.size(), value, std::chars_format::fixed);
    return value;
}

bool MatchesAnyWord(std::optional<std::string_view> text, std::optional<std::string_view> words)
{
    if (!text || !words) {
        return false;
    }
    const std::string upperText = UpperCopy(*text);
    const std::string upperWords = UpperCopy(*words);
    std::string_view rest = upperWords;
    while (!rest.empty()) {
        const std::size_t space = rest.find(' ');
        const std::string_view word = rest.substr(0, space);
        if (!word.empty() && upperText.find(word) != std::string::npos) {
            return true;
        }
        rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    }
    return false;
}

} // namespace tallyhawk
