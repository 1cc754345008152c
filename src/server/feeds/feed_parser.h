#pragma once

#include "server/feeds/parsed_feed.h"

#include <cstddef>
#include <string_view>

namespace tallyhawk::server
{

// Reads a feed's bytes, whatever its format: RSS 2.0, RSS 1.0 (RDF), Atom 1.0 or JSON Feed.
class FeedParser
{
public:
    // The most of a feed that is read; the fetcher stops a little past it, so a longer feed shows.
    static constexpr std::size_t kMaxFeedBytes = 8 * 1024 * 1024;
    // The bounds on an XML feed's own entities: the references read in the whole document (nested
    // ones counted each time they are reached), and the bytes of text they expand to.
    static constexpr std::size_t kMaxEntityReferences = 10000;
    static constexpr std::size_t kMaxEntityBytes = 1024 * 1024;

    // `url` is the address the feed was fetched from: relative links are resolved against it, and
    // only http and https links are kept.
    static ParsedFeed Parse(std::string_view bytes, std::string_view url);
};

} // namespace tallyhawk::server
