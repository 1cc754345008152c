#pragma once

#include "server/feeds/parsed_feed.h"

#include <string_view>

namespace tallyhawk::server
{

// RSS 2.0 (and 0.9x), RSS 1.0 (RDF) and Atom 1.0 documents read into entries.
class XmlFeedReader
{
public:
    // `url` is the feed's address. With `cutOff` the bytes are the first part of a longer feed: the
    // entries whose end lies within them are read, and the status is CutOff.
    static ParsedFeed Read(std::string_view bytes, std::string_view url, bool cutOff);
};

} // namespace tallyhawk::server
