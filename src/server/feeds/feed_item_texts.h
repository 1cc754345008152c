#pragma once

#include "server/feeds/parsed_feed.h"

#include <string>

namespace tallyhawk::server
{

// What an item takes from one feed entry, before it is cut to what a client keeps (ClientFields).
struct FeedItemTexts
{
    std::string key; // tells the entry apart from the others of its feed (Key)
    std::string title; // cleaned of markup and entities
    std::string description; // the summary, else the content, cleaned
    std::string extra; // the first price in the title, else in the summary; empty when none

    static FeedItemTexts From(const FeedEntry& entry);
    // The entry's guid or id; else its link; else "hash:" and a hash of its cleaned title and date,
    // so an entry keeps its key however the feed orders or republishes it.
    static std::string Key(const FeedEntry& entry);
};

} // namespace tallyhawk::server
