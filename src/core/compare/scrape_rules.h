#pragma once

#include <cstddef>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace tallyhawk
{

// Where a value between two markers lies in a block: offset and length, never empty.
struct TextRange
{
    std::size_t offset = 0;
    std::size_t length = 0;
};

// The value between the first match of `startMarker` and the first match of `endMarker` after it.
// Absent when a marker is absent or not found, or when the value would be empty, or on a stop request.
std::optional<TextRange> FindBetween(std::string_view block,
                                     std::optional<std::string_view> startMarker,
                                     std::optional<std::string_view> endMarker,
                                     std::stop_token stop = {});

// FindBetween's value as an owned text.
std::optional<std::string> ExtractBetween(std::optional<std::string_view> block,
                                          std::optional<std::string_view> startMarker,
                                          std::optional<std::string_view> endMarker);

// Reduces a price text in place to its first number: commas removed, every byte other than a digit or
// "." turned into a space, leading spaces removed, cut at the first space. "$1,299.99" gives "1299.99".
std::string& CleanPrice(std::string& text);

// A cleaned price text read as a decimal number: digits with at most one decimal point, up to the first
// other byte; no digits give 0.0. "1.234.56" reads as 1.234.
double PriceValue(std::string_view cleaned);

// True when at least one space-separated word of `words` occurs in `text`, ignoring the case of the
// letters a to z. No words, or a missing text or word list, give false.
bool MatchesAnyWord(std::optional<std::string_view> text, std::optional<std::string_view> words);

} // namespace tallyhawk
