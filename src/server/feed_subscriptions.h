#pragma once

#include "server/feed_subscription.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk::server
{

class ItemStore;

// The feeds the service polls, kept in its database beside the items.
class FeedSubscriptions
{
public:
    explicit FeedSubscriptions(ItemStore& items)
        : items_(items)
    { }

    // Saves a new subscription; its id, or nothing with `error` set.
    std::optional<std::int64_t> Add(const FeedSubscription& feed, std::string* error = nullptr);
    // Every subscription, in id order; nothing when the read failed.
    std::optional<std::vector<FeedSubscription>> All(std::string* error = nullptr);
    std::optional<FeedSubscription> Find(std::int64_t id, std::string* error = nullptr);
    // Those whose next fetch is due at `now`.
    std::optional<std::vector<FeedSubscription>> Due(std::int64_t now, std::string* error = nullptr);
    // Removes the subscription and its memory of entries taken (the items stay). False when there is
    // no such feed or the database failed (`error` set then).
    bool Remove(std::int64_t id, std::string* error = nullptr);
    // Keeps what a fetch left: validators, last result, next fetch, failures and the count taken.
    bool SaveFetch(const FeedSubscription& feed, std::string* error = nullptr);

private:
    ItemStore& items_;
};

} // namespace tallyhawk::server
