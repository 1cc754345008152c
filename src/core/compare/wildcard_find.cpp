#include "core/compare/wildcard_find.h"

#include <cstring>
#include <vector>

namespace tallyhawk
{
namespace
{

enum class Attempt
{
    Match,
    Mismatch, // try the next start position
    NoMatch, // no later start position can match either
};

constexpr std::size_t kNotSearched = static_cast<std::size_t>(-1);
// Start positions tried between two looks at the stop request: each costs at most the marker's length.
constexpr unsigned kStartsPerStopCheck = 256;
constexpr std::size_t kNotFound = static_cast<std::size_t>(-2);

// One search for a marker. Attempts at later start positions reach each star at the same or a later
// text position, so where a star's byte was found is remembered per star: a later attempt that reaches
// the star at or before that place finds the same byte without searching again. That keeps hostile
// pages (a star's byte that never or rarely occurs) to one pass per star instead of one per position.
class WildcardSearch
{
public:
    WildcardSearch(std::string_view text, std::string_view marker)
        : text_(text)
        , marker_(marker)
        , starFound_(marker.size(), kNotSearched)
    { }

    // Compares the marker with the text from `start`; `adjustment` gets what the wildcards covered
    // beyond their own length.
    Attempt MatchAt(std::size_t start, std::ptrdiff_t& adjustment)
    {
        adjustment = 0;
        std::size_t at = start;
        std::size_t m = 0;
        for (;;) {
            if (m == marker_.size()) {
                return Attempt::Match;
            }
            if (at == text_.size()) {
                return Attempt::NoMatch;
            }
            const char wanted = marker_[m];
            if (wanted == '*') {
                if (m + 1 == marker_.size()) {
                    return Attempt::Match;
                }
                const std::size_t found = FindStarByte(m, at);
                if (found == kNotFound) {
                    return Attempt::NoMatch;
                }
                adjustment += static_cast<std::ptrdiff_t>(found - at) - 1;
                at = found;
                ++m; // the byte after the star is compared with the byte found
                continue;
            }
            if (wanted != '?' && wanted != text_[at]) {
                return Attempt::Mismatch;
            }
            ++at;
            ++m;
        }
    }

private:
    // The first occurrence at or after `from` of the byte after the star at marker index `star`, looked
    // for literally even when that byte is a wildcard itself.
    std::size_t FindStarByte(std::size_t star, std::size_t from)
    {
        std::size_t& found = starFound_[star];
        if (found == kNotFound || (found != kNotSearched && from <= found)) {
            return found;
        }
        const void* hit = std::memchr(text_.data() + from, marker_[star + 1], text_.size() - from);
        found = hit == nullptr ? kNotFound
                               : static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
        return found;
    }

    std::string_view text_;
    std::string_view marker_;
    std::vector<std::size_t> starFound_;
};

// The marker's bytes before its first wildcard: every match starts with them.
std::string_view LiteralPrefix(std::string_view marker)
{
    return marker.substr(0, marker.find_first_of("?*"));
}

} // namespace

std::optional<WildcardMatch>
WildcardFind(std::string_view text, std::string_view marker, std::stop_token stop)
{
    if (marker.empty()) {
        return WildcardMatch{0, 0};
    }
    const std::string_view prefix = LiteralPrefix(marker);
    WildcardSearch search(text, marker);
    std::size_t start = 0;
    unsigned untilStopCheck = kStartsPerStopCheck;
    while (start < text.size()) {
        if (--untilStopCheck == 0) {
            if (stop.stop_requested()) {
                return std::nullopt;
            }
            untilStopCheck = kStartsPerStopCheck;
        }
        // Start positions without the literal prefix would only mismatch; a substring search skips them
        // and gives the same first match.
        if (!prefix.empty()) {
            start = text.find(prefix, start);
            if (start == std::string_view::npos) {
                return std::nullopt;
            }
        }
        std::ptrdiff_t adjustment = 0;
        switch (search.MatchAt(start, adjustment)) {
        case Attempt::Match:
            return WildcardMatch{
                start, static_cast<std::size_t>(static_cast<std::ptrdiff_t>(marker.size()) + adjustment)};
        case Attempt::NoMatch:
            return std::nullopt;
        case Attempt::Mismatch:
            ++start;
            break;
        }
    }
    return std::nullopt;
}

} // namespace tallyhawk
