// ItemDatabase's feed tables: the subscriptions and the entries taken.
#include "server/item_database.h"
#include "server/sqlite_statement.h"

#include <sqlite3.h>

namespace tallyhawk::server
{

namespace
{

constexpr const char* kFeedColumns = "id, url, kind, store, category, every, title, etag, last_modified, "
                                     "last_fetch, last_result, next_fetch, failures, taken";

FeedSubscription FeedOf(const Statement& row)
{
    FeedSubscription feed;
    feed.id = row.Int64(0);
    feed.url = row.Text(1);
    feed.kind = row.Int(2);
    feed.store = row.Text(3);
    feed.category = row.Text(4);
    feed.every = row.Int(5);
    feed.title = row.Text(6);
    feed.etag = row.Text(7);
    feed.lastModified = row.Text(8);
    feed.lastFetch = row.Int64(9);
    feed.lastResult = row.Text(10);
    feed.nextFetch = row.Int64(11);
    feed.failures = row.Int(12);
    feed.taken = row.Int64(13);
    return feed;
}

// The statements of one fetch, prepared once for all its entries. Each binds every value anew, the texts
// uncopied: they live until the step is over.
class SqliteFeedEntryTables : public FeedEntryTables
{
public:
    SqliteFeedEntryTables(sqlite3* db, const ItemDatabase::InsertItem& insert)
        // One statement for the three looks, each by its own index: a step each would cost as much as
        // the looking. An entry remembered without an item (it had no title) counts as not known.
        : known_(db,
                 "SELECT COALESCE("
                 "NULLIF((SELECT item_id FROM feed_entries WHERE feed_id = ?1 AND key = ?2), 0), "
                 "(SELECT item_id FROM item_links WHERE ?3 <> '' AND link = ?3 LIMIT 1), "
                 "(SELECT item_id FROM item_links WHERE repost_key = ?4 AND taken >= ?5 LIMIT 1), 0)")
        , link_(db, "INSERT INTO item_links (item_id, link, taken, repost_key) VALUES (?, ?, ?, ?)")
        , remember_(db, "INSERT OR IGNORE INTO feed_entries (feed_id, key, item_id) VALUES (?, ?, ?)")
        , insert_(insert)
    { }

    std::optional<std::int64_t> KnownItem(std::int64_t feedId,
                                          const std::string& key,
                                          const std::string& link,
                                          const std::string& repostKey,
                                          std::int64_t since) override
    {
        known_.Rewind()
            .Bind(1, feedId)
            .BindUncopied(2, key)
            .BindUncopied(3, link)
            .BindUncopied(4, repostKey)
            .Bind(5, since);
        if (!known_.Step()) {
            return std::nullopt;
        }
        return known_.Int64(0);
    }
    bool Insert(ServerItem& item, std::string& error) override { return insert_(item, error); }
    bool Link(std::int64_t itemId,
              const std::string& link,
              const std::string& repostKey,
              std::int64_t now) override
    {
        return link_.Rewind()
            .Bind(1, itemId)
            .BindUncopied(2, link)
            .Bind(3, now)
            .BindUncopied(4, repostKey)
            .Done();
    }
    bool Remember(std::int64_t feedId, const std::string& key, std::int64_t itemId) override
    {
        return remember_.Rewind().Bind(1, feedId).BindUncopied(2, key).Bind(3, itemId).Done();
    }

private:
    Statement known_;
    Statement link_;
    Statement remember_;
    const ItemDatabase::InsertItem& insert_;
};

// While a feed is taken the database holds few pages in memory: the pages beyond them go to the
// write-ahead log early (and are read back from it when needed) rather than a feed of thousands of entries
// holding its whole write in memory. The connection's own size comes back after. The pages on the way down
// each of the seven trees an entry writes must stay: below some 20 pages taking a feed takes nearly twice
// as long, so 384 KiB (48 pages of 8 KiB, 96 of an older file's 4 KiB) leaves room for deeper trees. More
// pays only once the whole write fits (some megabytes for thousands of entries): up to the 2 MB the
// connection keeps otherwise, taking a feed takes the same time.
class SmallPageCache
{
public:
    static constexpr int kKibibytes = 384;

    explicit SmallPageCache(sqlite3* db)
        : db_(db)
    {
        Statement size(db_, "PRAGMA cache_size");
        if (size.Step()) {
            previous_ = size.Int64(0);
            Set(-kKibibytes);
        }
    }
    ~SmallPageCache()
    {
        if (previous_) {
            Set(*previous_);
        }
    }
    SmallPageCache(const SmallPageCache&) = delete;
    SmallPageCache& operator=(const SmallPageCache&) = delete;

private:
    void Set(std::int64_t size) { Statement(db_, "PRAGMA cache_size = " + std::to_string(size)).Done(); }

    sqlite3* db_;
    std::optional<std::int64_t> previous_;
};

class OwnLease : public StoreLease
{
public:
    bool Held() override { return true; }
};

} // namespace

std::optional<std::int64_t> ItemDatabase::AddFeed(const FeedSubscription& feed, std::string* error)
{
    std::int64_t id = 0;
    const bool ok = Transaction(
        [&](sqlite3* db, const InsertItem&, std::string&) {
            Statement insert(db,
                             "INSERT INTO feeds (url, kind, store, category, every, title, next_fetch) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?)");
            insert.Bind(1, feed.url)
                .Bind(2, feed.kind)
                .Bind(3, feed.store)
                .Bind(4, feed.category)
                .Bind(5, feed.every)
                .Bind(6, feed.title)
                .Bind(7, feed.nextFetch);
            if (!insert.Done()) {
                return false;
            }
            id = sqlite3_last_insert_rowid(db);
            return true;
        },
        error);
    return ok ? std::optional<std::int64_t>(id) : std::nullopt;
}

std::optional<std::vector<FeedSubscription>>
ItemDatabase::SelectFeeds(FeedFilter filter, std::int64_t argument, std::string* error)
{
    const char* where = filter == FeedFilter::Id ? " WHERE id = ?"
        : filter == FeedFilter::DueAt            ? " WHERE next_fetch <= ?"
                                                 : "";
    std::vector<FeedSubscription> feeds;
    const bool ok = Read(
        [&](sqlite3* db, std::string&) {
            Statement rows(db,
                           std::string("SELECT ") + kFeedColumns + " FROM feeds" + where + " ORDER BY id");
            if (filter != FeedFilter::All) {
                rows.Bind(1, argument);
            }
            while (rows.Step()) {
                feeds.push_back(FeedOf(rows));
            }
            return rows.Finished();
        },
        error);
    return ok ? std::optional(std::move(feeds)) : std::nullopt;
}

bool ItemDatabase::RemoveFeed(std::int64_t id, std::string* error)
{
    bool removed = false;
    const bool ok = Transaction(
        [&](sqlite3* db, const InsertItem&, std::string&) {
            Statement feed(db, "DELETE FROM feeds WHERE id = ?");
            if (!feed.Bind(1, id).Done()) {
                return false;
            }
            removed = sqlite3_changes(db) == 1;
            Statement entries(db, "DELETE FROM feed_entries WHERE feed_id = ?");
            return entries.Bind(1, id).Done();
        },
        error);
    return ok && removed;
}

bool ItemDatabase::SaveFetch(const FeedSubscription& feed, std::string* error)
{
    return Transaction(
        [&](sqlite3* db, const InsertItem&, std::string&) {
            Statement update(db,
                             "UPDATE feeds SET etag = ?, last_modified = ?, last_fetch = ?, last_result = ?, "
                             "next_fetch = ?, failures = ?, taken = ? WHERE id = ?");
            update.Bind(1, feed.etag)
                .Bind(2, feed.lastModified)
                .Bind(3, feed.lastFetch)
                .Bind(4, feed.lastResult)
                .Bind(5, feed.nextFetch)
                .Bind(6, feed.failures)
                .Bind(7, feed.taken)
                .Bind(8, feed.id);
            return update.Done();
        },
        error);
}

bool ItemDatabase::TakeFeedEntries(const FeedWork& work, std::string* error)
{
    return Transaction(
        [&work](sqlite3* db, const InsertItem& insert, std::string& failure) {
            const SmallPageCache smallCache(db);
            SqliteFeedEntryTables tables(db, insert);
            return work(tables, failure);
        },
        error);
}

std::unique_ptr<StoreLease> ItemDatabase::TryLease(std::int32_t, std::int32_t)
{
    return std::make_unique<OwnLease>();
}

} // namespace tallyhawk::server
