#pragma once

#include "server/item_store.h"
#include "server/server_item.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace tallyhawk::server
{
class Statement;
}

namespace tallyhawk::server
{

// The service's items, stores and categories in one SQLite file (":memory:" for none). Item ids are one
// sequence over every kind, so the highest id a client holds of a kind always moves forward; the
// highest id given out is also kept beside the file ("FILE.highest-id"), so a file that is replaced or
// made anew goes on above it and never hands a client an id below one it holds. Stores and categories
// get service ids from 1 up, below the 5000 where a client's own entries begin. Texts are cut to what
// a client keeps as they come in and as they go out.
// Safe to use from several threads: each call holds the database alone. A call that fails says why in
// `error`; a read that fails returns nothing rather than a short answer. The schema's version is the
// file's user_version: each numbered migration above it is applied when the file is opened.
class ItemDatabase : public ItemStore
{
public:
    ItemDatabase();
    ~ItemDatabase() override;
    ItemDatabase(const ItemDatabase&) = delete;
    ItemDatabase& operator=(const ItemDatabase&) = delete;

    // Opens or creates the file and its tables; a write waits up to `lockWait` for another program's
    // write to end. An error text, or nothing on success.
    std::optional<std::string> Open(const std::string& path,
                                    std::chrono::milliseconds lockWait = std::chrono::seconds(5));
    // SQLite's quick check of the whole file: nothing when it is sound, else what is wrong.
    std::optional<std::string> Check() override;
    // True when the file at the path is no longer the one opened (removed or replaced).
    bool FileReplaced() override;
    // Opens the file now at the path in place of the one open.
    std::optional<std::string> Reopen() override;
    // What Open noticed and a person should know (the sequence going on above the kept id), or empty.
    std::string notice() override;

    // Adds an item with the next id; a store or category named but not yet known is added first
    // (when the item gives no id for it). Every item needs a title and a category. The item as
    // stored, or nothing with `error` set.
    std::optional<ServerItem> Post(ServerItem item, std::string* error = nullptr) override;
    // Adds the items in one transaction: all of them (each gets its id), or none.
    bool PostAll(std::vector<ServerItem>& items, std::string* error = nullptr) override;
    // The items of a kind with an id above `afterId`, lowest id first, at most `limit`.
    std::optional<std::vector<ServerItem>> ItemsAfter(std::int32_t kind,
                                                      std::int32_t afterId,
                                                      std::int32_t limit,
                                                      std::string* error = nullptr) override;
    // One item by id; nothing with `error` left empty when there is none.
    std::optional<ServerItem> Find(std::int32_t id, std::string* error = nullptr) override;
    std::optional<std::int32_t> ItemCount(std::string* error = nullptr) override;

    // Adds a store or category (or finds the one of that name). Its id, or nothing when the list is full,
    // the name is empty or the database failed.
    std::optional<std::int32_t> AddStore(const std::string& name, std::string* error = nullptr) override
    {
        return AddNamed("stores", name, error);
    }
    std::optional<std::int32_t> AddCategory(const std::string& name, std::string* error = nullptr) override
    {
        return AddNamed("categories", name, error);
    }
    // The entries with an id above `afterId`, in id order.
    std::optional<std::vector<NamedEntry>> StoresAfter(std::int32_t afterId,
                                                       std::string* error = nullptr) override
    {
        return NamedAfter("stores", afterId, error);
    }
    std::optional<std::vector<NamedEntry>> CategoriesAfter(std::int32_t afterId,
                                                           std::string* error = nullptr) override
    {
        return NamedAfter("categories", afterId, error);
    }

    // The address an item taken from a feed leads to; nothing for other items (or when the read fails).
    std::optional<std::string> LinkOf(std::int32_t id) override;

    // For the tables kept beside the items (feed subscriptions and the entries taken): `work` runs
    // holding the database alone, inside one transaction that is committed when it returns true and
    // rolled back otherwise. It may add items through `insert`, which posts as Post does.
    using InsertItem = std::function<bool(ServerItem& item, std::string& error)>;
    bool
    Transaction(const std::function<bool(sqlite3* db, const InsertItem& insert, std::string& error)>& work,
                std::string* error = nullptr);
    // Reads, holding the database alone; `work` returns false with `error` set when the read failed.
    bool Read(const std::function<bool(sqlite3* db, std::string& error)>& work, std::string* error = nullptr);

    // The feed tables (item_database_feeds.cpp).
    std::optional<std::int64_t> AddFeed(const FeedSubscription& feed, std::string* error) override;
    std::optional<std::vector<FeedSubscription>>
    SelectFeeds(FeedFilter filter, std::int64_t argument, std::string* error) override;
    bool RemoveFeed(std::int64_t id, std::string* error) override;
    bool SaveFetch(const FeedSubscription& feed, std::string* error) override;
    bool TakeFeedEntries(const FeedWork& work, std::string* error) override;
    // One service serves a file: every lease is its own.
    std::unique_ptr<StoreLease> TryLease(std::int32_t name, std::int32_t id) override;

private:
    std::optional<std::string> OpenLocked();
    std::optional<std::string> Migrate();
    std::optional<std::int32_t> AddNamed(const char* table, const std::string& name, std::string* error);
    std::optional<std::int32_t>
    AddNamedLocked(const char* table, const std::string& name, std::string& error);
    std::optional<std::vector<NamedEntry>>
    NamedAfter(const char* table, std::int32_t afterId, std::string* error);
    std::optional<std::string> NameOf(const char* table, std::int32_t id);
    bool InsertLocked(ServerItem& item, std::string& error);
    bool Execute(const char* sql, std::string* error = nullptr);
    // The text of the last failure, with the busy case said plainly.
    std::string Failure();
    // The id sequence goes on above the one kept beside the file; the kept one follows each post.
    std::optional<std::string> KeepSequence();
    void RecordHighestId(std::int32_t id);
    // A statement prepared once per open database and reset for each use: a feed of thousands of
    // entries posts them one by one.
    Statement& Cached(const std::string& sql);

    std::mutex mutex_;
    sqlite3* db_ = nullptr;
    std::string path_;
    std::chrono::milliseconds lockWait_{5000};
    dev_t device_ = 0;
    ino_t inode_ = 0;
    std::int32_t highestKept_ = 0;
    std::string notice_;
    std::map<std::string, std::unique_ptr<Statement>> cached_;
};

} // namespace tallyhawk::server
