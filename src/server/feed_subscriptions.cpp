#include "server/feed_subscriptions.h"

#include "server/item_store.h"

namespace tallyhawk::server
{

std::optional<std::int64_t> FeedSubscriptions::Add(const FeedSubscription& feed, std::string* error)
{
    return items_.AddFeed(feed, error);
}

std::optional<std::vector<FeedSubscription>> FeedSubscriptions::All(std::string* error)
{
    return items_.SelectFeeds(ItemStore::FeedFilter::All, 0, error);
}

std::optional<FeedSubscription> FeedSubscriptions::Find(std::int64_t id, std::string* error)
{
    std::optional<std::vector<FeedSubscription>> found
        = items_.SelectFeeds(ItemStore::FeedFilter::Id, id, error);
    if (!found || found->empty()) {
        return std::nullopt;
    }
    return found->front();
}

std::optional<std::vector<FeedSubscription>> FeedSubscriptions::Due(std::int64_t now, std::string* error)
{
    return items_.SelectFeeds(ItemStore::FeedFilter::DueAt, now, error);
}

bool FeedSubscriptions::Remove(std::int64_t id, std::string* error)
{
    return items_.RemoveFeed(id, error);
}

bool FeedSubscriptions::SaveFetch(const FeedSubscription& feed, std::string* error)
{
    return items_.SaveFetch(feed, error);
}

} // namespace tallyhawk::server
