#pragma once

#include "server/feed_subscription.h"
#include "server/feeds/parsed_feed.h"
#include "server/server_item.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk::server
{

class ItemStore;

// Entries of a feed made into items, each once: an entry already taken from this feed (by its key),
// a link already taken from any feed, and a title and store taken in the last day (deal sites
// repost) make no new item. All entries of one fetch are taken in one transaction, or none.
class FeedIngest
{
public:
    static constexpr std::int64_t kRepostWindow = 24 * 3600;
    static constexpr const char* kDefaultCategory = "General";

    // The items made, lowest id first, or nothing with `error` set. The entries are used up as they
    // are taken, so a large feed is not held twice, as entries and as items: both are deques, whose
    // blocks an entry frees are the ones an item takes.
    static std::optional<std::deque<ServerItem>> Take(ItemStore& items,
                                                      const FeedSubscription& feed,
                                                      std::deque<FeedEntry> entries,
                                                      std::int64_t now,
                                                      std::string* error = nullptr);
    // The item an entry becomes, before it is stored (its store from `stores` when the feed names none).
    static ServerItem
    ItemOf(const FeedSubscription& feed, const FeedEntry& entry, const std::vector<std::string>& stores);
    // The item's date: the entry's expiry while it lies ahead of `now` (and within what a client's
    // 32-bit date holds), else 0, which clients show as no expiry known.
    static std::int32_t DateOf(const FeedEntry& entry, std::int64_t now);
};

} // namespace tallyhawk::server
