#pragma once

#include "server/feeds/parsed_feed.h"

#include <cstddef>
#include <string_view>

namespace tallyhawk::server
{

// JSON Feed documents (versions 1 and 1.1) read into entries.
class JsonFeedReader
{
public:
    // Arrays and objects nested deeper are refused before the document is read, so a hostile
    // document cannot build a deep tree.
    static constexpr std::size_t kMaxDepth = 64;

    // `url` is the feed's address, the base of relative links.
    static ParsedFeed Read(std::string_view bytes, std::string_view url);
    // The deepest nesting of arrays and objects, strings skipped, as far as `limit` + 1.
    static std::size_t Depth(std::string_view bytes, std::size_t limit);
};

} // namespace tallyhawk::server
