#pragma once

#include "server/feed_subscription.h"
#include "server/feeds/parsed_feed.h"
#include "server/server_item.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk::server
{

class ItemDatabase;

// Entries of a feed made into items, each once: an entry already taken from this feed (by its key),
// a link already taken from any feed, and a title and store taken in the last day (deal sites
// repost) make no new item. All entries of one fetch are taken in one transaction, or none.
class FeedIngest
{
public:
    static constexpr std::int64_t kRepostWindow = 24 * 3600;
    static constexpr const char* kDefaultCategory = "General";

    // The items made, lowest id first, or nothing with `error` set.
    static std::optional<std::vector<ServerItem>> Take(ItemDatabase& items,
                                                       const FeedSubscription& feed,
                                                       const std::vector<FeedEntry>& entries,
                                                       std::int64_t now,
                                                       std::string* error = nullptr);
    // The item an entry becomes, before it is stored (its store from `stores` when the feed names none).
    static ServerItem
    ItemOf(const FeedSubscription& feed, const FeedEntry& entry, const std::vector<std::string>& stores);
};

} // namespace tallyhawk::server
