#pragma once

#include <cstddef>
#include <optional>
#include <stop_token>
#include <string_view>

namespace tallyhawk
{

// Where a marker matched: the offset of the match in the searched text and the number of text bytes
// it covers.
struct WildcardMatch
{
    std::size_t position = 0;
    std::size_t length = 0;
};

// The first match of an agent's marker in text. In a marker "?" matches any one byte and "*" the
// shortest run of bytes up to the first occurrence of the marker byte after it, with no backtracking.
// Every other byte matches itself, case-sensitively. A match attempt that runs into the end of the text
// ends the search: no later position can match either. An empty marker matches at the start of any
// text. A "*" that ends the marker counts as one byte of the match. A stop request ends the search
// within a few hundred start positions, as if nothing matched.
std::optional<WildcardMatch>
WildcardFind(std::string_view text, std::string_view marker, std::stop_token stop = {});

} // namespace tallyhawk
