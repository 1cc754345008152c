#include "server/feed_subscriptions.h"

#include "server/item_database.h"
#include "server/sqlite_statement.h"

namespace tallyhawk::server
{

namespace
{

constexpr const char* kColumns = "id, url, kind, store, category, every, title, etag, last_modified, "
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

} // namespace

std::optional<std::int64_t> FeedSubscriptions::Add(const FeedSubscription& feed, std::string* error)
{
    std::int64_t id = 0;
    const bool ok = items_.Transaction(
        [&](sqlite3* db, const ItemDatabase::InsertItem&, std::string&) {
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
FeedSubscriptions::Select(const std::string& where, std::int64_t argument, std::string* error)
{
    std::vector<FeedSubscription> feeds;
    const bool ok = items_.Read(
        [&](sqlite3* db, std::string&) {
            Statement rows(db, std::string("SELECT ") + kColumns + " FROM feeds " + where + " ORDER BY id");
            if (!where.empty()) {
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

std::optional<std::vector<FeedSubscription>> FeedSubscriptions::All(std::string* error)
{
    return Select("", 0, error);
}

std::optional<FeedSubscription> FeedSubscriptions::Find(std::int64_t id, std::string* error)
{
    std::optional<std::vector<FeedSubscription>> found = Select("WHERE id = ?", id, error);
    if (!found || found->empty()) {
        return std::nullopt;
    }
    return found->front();
}

std::optional<std::vector<FeedSubscription>> FeedSubscriptions::Due(std::int64_t now, std::string* error)
{
    return Select("WHERE next_fetch <= ?", now, error);
}

bool FeedSubscriptions::Remove(std::int64_t id, std::string* error)
{
    bool removed = false;
    const bool ok = items_.Transaction(
        [&](sqlite3* db, const ItemDatabase::InsertItem&, std::string&) {
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

bool FeedSubscriptions::SaveFetch(const FeedSubscription& feed, std::string* error)
{
    return items_.Transaction(
        [&](sqlite3* db, const ItemDatabase::InsertItem&, std::string&) {
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

} // namespace tallyhawk::server
