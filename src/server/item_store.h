#pragma once

#include "server/feed_subscription.h"
#include "server/server_item.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk::server
{

// The tables of one feed fetch, inside the transaction that takes its entries.
class FeedEntryTables
{
public:
    virtual ~FeedEntryTables() = default;
    // The item an earlier entry already made, by this feed's key, by its link from any feed, or by its
    // title and store (`repostKey`) taken at `since` or later; 0 when none. Nothing when the read failed.
    virtual std::optional<std::int64_t> KnownItem(std::int64_t feedId,
                                                  const std::string& key,
                                                  const std::string& link,
                                                  const std::string& repostKey,
                                                  std::int64_t since)
        = 0;
    // Adds the item as a post does (it gets its id).
    virtual bool Insert(ServerItem& item, std::string& error) = 0;
    // Keeps the item's link and repost key, with an empty link too: the time taken finds reposts.
    virtual bool
    Link(std::int64_t itemId, const std::string& link, const std::string& repostKey, std::int64_t now)
        = 0;
    // Remembers the entry's key; an entry remembered already stays as it is.
    virtual bool Remember(std::int64_t feedId, const std::string& key, std::int64_t itemId) = 0;
};

// Work that several instances of the service on one database must not do at once (polling a feed, the
// demo's posting), held by one of them until released or until its holder ends.
class StoreLease
{
public:
    virtual ~StoreLease() = default;
    // False once the hold was lost (the connection that held it failed).
    virtual bool Held() = 0;
};

// Where the service keeps its items, stores, categories and feeds: an SQLite file (ItemDatabase) or a
// PostgreSQL database shared by several instances (PgItemStore). Both give the same answers.
// Item ids are one sequence over every kind, and an id is never seen before every lower one that will
// ever be stored: a client asks for the items after the highest id it holds and never looks back.
class ItemStore
{
public:
    // Stores and categories get service ids from 1 up to this, below the 5000 where a client's own
    // entries begin.
    static constexpr std::int32_t kHighestServiceId = 4998;

    virtual ~ItemStore() = default;

    // The store `db` names: a PostgreSQL connection URI ("postgresql://…") or an SQLite file path.
    // Opened, with its migrations applied; nothing with `error` set when it cannot be used.
    static std::unique_ptr<ItemStore> Open(const std::string& db, std::string& error);
    static bool IsPostgresUri(const std::string& db);
    // Fits the item's texts to what a client keeps; false with `error` set when no client would keep it.
    static bool Admit(ServerItem& item, std::string& error);

    // Nothing when the stored data is sound, else what is wrong.
    virtual std::optional<std::string> Check() = 0;
    // True when the file served was removed or replaced (never for a database server).
    virtual bool FileReplaced() = 0;
    virtual std::optional<std::string> Reopen() = 0;
    // What opening noticed and a person should know, or empty.
    virtual std::string notice() = 0;

    virtual std::optional<ServerItem> Post(ServerItem item, std::string* error = nullptr) = 0;
    // All of them (each gets its id), or none.
    virtual bool PostAll(std::vector<ServerItem>& items, std::string* error = nullptr) = 0;
    // The items of a kind with an id above `afterId`, lowest id first, at most `limit`.
    virtual std::optional<std::vector<ServerItem>>
    ItemsAfter(std::int32_t kind, std::int32_t afterId, std::int32_t limit, std::string* error = nullptr) = 0;
    virtual std::optional<ServerItem> Find(std::int32_t id, std::string* error = nullptr) = 0;
    virtual std::optional<std::int32_t> ItemCount(std::string* error = nullptr) = 0;
    virtual std::optional<std::int32_t> AddStore(const std::string& name, std::string* error = nullptr) = 0;
    virtual std::optional<std::int32_t> AddCategory(const std::string& name, std::string* error = nullptr)
        = 0;
    virtual std::optional<std::vector<NamedEntry>> StoresAfter(std::int32_t afterId,
                                                               std::string* error = nullptr)
        = 0;
    virtual std::optional<std::vector<NamedEntry>> CategoriesAfter(std::int32_t afterId,
                                                                   std::string* error = nullptr)
        = 0;
    virtual std::optional<std::string> LinkOf(std::int32_t id) = 0;

    // The feed subscriptions (see FeedSubscriptions).
    enum class FeedFilter
    {
        All,
        Id, // the one with the id given
        DueAt, // those whose next fetch is at or before the time given
    };
    virtual std::optional<std::int64_t> AddFeed(const FeedSubscription& feed, std::string* error) = 0;
    virtual std::optional<std::vector<FeedSubscription>>
    SelectFeeds(FeedFilter filter, std::int64_t argument, std::string* error) = 0;
    // False when there is no such feed or the database failed (`error` set then).
    virtual bool RemoveFeed(std::int64_t id, std::string* error) = 0;
    virtual bool SaveFetch(const FeedSubscription& feed, std::string* error) = 0;
    // Runs `work` in one transaction, committed when it returns true.
    using FeedWork = std::function<bool(FeedEntryTables& tables, std::string& error)>;
    virtual bool TakeFeedEntries(const FeedWork& work, std::string* error) = 0;

    // The lease of the work named by `name` and `id`, or nothing when another instance holds it.
    virtual std::unique_ptr<StoreLease> TryLease(std::int32_t name, std::int32_t id) = 0;
};

// The names of the work leased.
inline constexpr std::int32_t kLeaseFeed = 1;
inline constexpr std::int32_t kLeaseDemoPoster = 2;

} // namespace tallyhawk::server
