#include "server/pg_item_store.h"

#include "server/client_fields.h"
#include "server/pg_connection.h"

#include <ctime>
#include <iterator>

namespace tallyhawk::server
{

namespace
{

// The locks of the service's own, beside the leases (whose names are 1 and up).
constexpr const char* kItemsLock = "SELECT pg_advisory_xact_lock(0, 0)";
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(0, 1)";

// The schema's numbered migrations. A migration is only ever added, never changed. Texts are kept as
// bytes, as a client sent them: a title is not always UTF-8, and it must come back as it went in. Links
// and entry keys have no length bound, so they are found through hashes (a B-tree holds at most some
// 2,700 bytes of key).
constexpr const char* kMigrations[] = {
    R"(
CREATE TABLE items (
    id SERIAL PRIMARY KEY,
    kind INTEGER NOT NULL,
    store_id INTEGER NOT NULL,
    category_id INTEGER NOT NULL,
    date INTEGER NOT NULL,
    hot INTEGER NOT NULL,
    title BYTEA NOT NULL,
    description BYTEA NOT NULL,
    extra BYTEA NOT NULL,
    store_name BYTEA NOT NULL,
    category_name BYTEA NOT NULL);
CREATE INDEX items_by_kind ON items (kind, id);
CREATE TABLE stores (id INTEGER PRIMARY KEY, name BYTEA NOT NULL UNIQUE);
CREATE TABLE categories (id INTEGER PRIMARY KEY, name BYTEA NOT NULL UNIQUE);
CREATE TABLE item_links (
    item_id INTEGER PRIMARY KEY,
    link BYTEA NOT NULL,
    taken BIGINT NOT NULL,
    repost_key BYTEA NOT NULL);
CREATE INDEX item_links_by_link ON item_links USING hash (link);
CREATE INDEX item_links_by_repost_key ON item_links (repost_key, taken);
CREATE TABLE feeds (
    id BIGSERIAL PRIMARY KEY,
    url BYTEA NOT NULL,
    kind INTEGER NOT NULL,
    store BYTEA NOT NULL,
    category BYTEA NOT NULL,
    every INTEGER NOT NULL,
    title BYTEA NOT NULL,
    etag BYTEA NOT NULL DEFAULT '',
    last_modified BYTEA NOT NULL DEFAULT '',
    last_fetch BIGINT NOT NULL DEFAULT 0,
    last_result BYTEA NOT NULL DEFAULT '',
    next_fetch BIGINT NOT NULL DEFAULT 0,
    failures INTEGER NOT NULL DEFAULT 0,
    taken BIGINT NOT NULL DEFAULT 0);
CREATE TABLE feed_entries (
    feed_id BIGINT NOT NULL,
    key BYTEA NOT NULL,
    item_id INTEGER NOT NULL);
CREATE UNIQUE INDEX feed_entries_by_key ON feed_entries (feed_id, sha256(key));
)",
};

std::string Cut(const char* column, std::size_t limit)
{
    return std::string("substring(") + column + " from 1 for "
        + std::to_string(limit + ClientFields::kReadAhead) + ")";
}

const std::string& ItemColumns()
{
    static const std::string columns = "id, kind, store_id, category_id, date, hot, "
        + Cut("title", ClientFields::kTitleBytes) + ", " + Cut("description", ClientFields::kDescriptionBytes)
        + ", " + Cut("extra", ClientFields::kExtraBytes) + ", "
        + Cut("store_name", ClientFields::kStoreNameBytes) + ", "
        + Cut("category_name", ClientFields::kCategoryNameBytes);
    return columns;
}

ServerItem ItemOf(const PgRows& rows, int row)
{
    ServerItem item;
    item.id = static_cast<std::int32_t>(rows.Int(row, 0));
    item.kind = static_cast<std::int32_t>(rows.Int(row, 1));
    item.storeId = static_cast<std::int32_t>(rows.Int(row, 2));
    item.categoryId = static_cast<std::int32_t>(rows.Int(row, 3));
    item.date = static_cast<std::int32_t>(rows.Int(row, 4));
    item.hot = static_cast<std::int32_t>(rows.Int(row, 5));
    item.title = ClientFields::FitPrefix(rows.Bytes(row, 6), ClientFields::kTitleBytes);
    item.description = ClientFields::FitPrefix(rows.Bytes(row, 7), ClientFields::kDescriptionBytes);
    item.extra = ClientFields::FitPrefix(rows.Bytes(row, 8), ClientFields::kExtraBytes);
    item.storeName = ClientFields::FitPrefix(rows.Bytes(row, 9), ClientFields::kStoreNameBytes);
    item.categoryName = ClientFields::FitPrefix(rows.Bytes(row, 10), ClientFields::kCategoryNameBytes);
    return item;
}

constexpr const char* kFeedColumns = "id, url, kind, store, category, every, title, etag, last_modified, "
                                     "last_fetch, last_result, next_fetch, failures, taken";

FeedSubscription FeedOf(const PgRows& rows, int row)
{
    FeedSubscription feed;
    feed.id = rows.Int(row, 0);
    feed.url = rows.Bytes(row, 1);
    feed.kind = static_cast<std::int32_t>(rows.Int(row, 2));
    feed.store = rows.Bytes(row, 3);
    feed.category = rows.Bytes(row, 4);
    feed.every = static_cast<std::int32_t>(rows.Int(row, 5));
    feed.title = rows.Bytes(row, 6);
    feed.etag = rows.Bytes(row, 7);
    feed.lastModified = rows.Bytes(row, 8);
    feed.lastFetch = rows.Int(row, 9);
    feed.lastResult = rows.Bytes(row, 10);
    feed.nextFetch = rows.Int(row, 11);
    feed.failures = static_cast<std::int32_t>(rows.Int(row, 12));
    feed.taken = rows.Int(row, 13);
    return feed;
}

template <typename T>
std::optional<T> Failed(std::string* error, const std::string& text)
{
    if (error != nullptr) {
        *error = text;
    }
    return std::nullopt;
}

// A store or category found or added on `connection`, inside a posting transaction.
std::optional<std::int32_t>
AddNamedOn(PgConnection& connection, const char* table, const std::string& wholeName, std::string& error)
{
    const std::string name = ClientFields::Fit(wholeName, ClientFields::kListNameBytes);
    if (name.empty()) {
        error = "the name is empty";
        return std::nullopt;
    }
    PgRows found
        = connection.Run(std::string("SELECT id FROM ") + table + " WHERE name = $1", {PgValue::Bytes(name)});
    if (!found.ok()) {
        error = found.error();
        return std::nullopt;
    }
    if (found.size() == 1) {
        return static_cast<std::int32_t>(found.Int(0, 0));
    }
    PgRows added = connection.Run(std::string("INSERT INTO ") + table
                                      + " (id, name) SELECT COALESCE(MAX(id), 0) + 1, $1 FROM " + table
                                      + " HAVING COALESCE(MAX(id), 0) < "
                                      + std::to_string(ItemStore::kHighestServiceId) + " RETURNING id",
                                  {PgValue::Bytes(name)});
    if (!added.ok()) {
        error = added.error();
        return std::nullopt;
    }
    if (added.size() != 1) {
        error = std::string("the ") + table + " list is full";
        return std::nullopt;
    }
    return static_cast<std::int32_t>(added.Int(0, 0));
}

std::optional<std::string> NameOn(PgConnection& connection, const char* table, std::int32_t id)
{
    PgRows found
        = connection.Run(std::string("SELECT name FROM ") + table + " WHERE id = $1", {PgValue::Number(id)});
    if (found.ok() && found.size() == 1) {
        return found.Bytes(0, 0);
    }
    return std::nullopt;
}

// Adds the item on `connection`, inside a posting transaction, as ItemDatabase does.
bool InsertOn(PgConnection& connection, ServerItem& item, std::string& error)
{
    if (!ItemStore::Admit(item, error)) {
        return false;
    }
    const std::pair<const char*, std::pair<std::int32_t*, std::string*>> lists[] = {
        {"stores", {&item.storeId, &item.storeName}},
        {"categories", {&item.categoryId, &item.categoryName}},
    };
    for (const auto& [table, fields] : lists) {
        auto& [id, name] = fields;
        if (*id == 0 && !name->empty()) {
            std::optional<std::int32_t> added = AddNamedOn(connection, table, *name, error);
            if (!added) {
                return false;
            }
            *id = *added;
        } else if (*id > 0 && name->empty()) {
            *name = NameOn(connection, table, *id).value_or("");
        }
    }
    PgRows added = connection.Run(
        "INSERT INTO items (kind, store_id, category_id, date, hot, title, description, extra, store_name, "
        "category_name) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10) RETURNING id",
        {PgValue::Number(item.kind),
         PgValue::Number(item.storeId),
         PgValue::Number(item.categoryId),
         PgValue::Number(item.date),
         PgValue::Number(item.hot),
         PgValue::Bytes(item.title),
         PgValue::Bytes(item.description),
         PgValue::Bytes(item.extra),
         PgValue::Bytes(item.storeName),
         PgValue::Bytes(item.categoryName)});
    if (!added.ok() || added.size() != 1) {
        error = added.ok() ? "database error: no id was given" : added.error();
        return false;
    }
    item.id = static_cast<std::int32_t>(added.Int(0, 0));
    return true;
}

class PgFeedEntryTables : public FeedEntryTables
{
public:
    explicit PgFeedEntryTables(PgConnection& connection)
        : connection_(connection)
    { }

    std::optional<std::int64_t> KnownItem(std::int64_t feedId,
                                          const std::string& key,
                                          const std::string& link,
                                          const std::string& repostKey,
                                          std::int64_t since) override
    {
        PgRows known = connection_.Run(
            "SELECT COALESCE("
            "NULLIF((SELECT item_id FROM feed_entries WHERE feed_id = $1 AND sha256(key) = sha256($2::bytea) "
            "AND key = $2::bytea), 0), "
            "(SELECT item_id FROM item_links WHERE $3::bytea <> ''::bytea AND link = $3::bytea LIMIT 1), "
            "(SELECT item_id FROM item_links WHERE repost_key = $4::bytea AND taken >= $5 LIMIT 1), 0)::int8",
            {PgValue::Number(feedId),
             PgValue::Bytes(key),
             PgValue::Bytes(link),
             PgValue::Bytes(repostKey),
             PgValue::Number(since)});
        if (!known.ok() || known.size() != 1) {
            return std::nullopt;
        }
        return known.Int(0, 0);
    }
    bool Insert(ServerItem& item, std::string& error) override { return InsertOn(connection_, item, error); }
    bool Link(std::int64_t itemId,
              const std::string& link,
              const std::string& repostKey,
              std::int64_t now) override
    {
        return connection_
            .Run("INSERT INTO item_links (item_id, link, taken, repost_key) VALUES ($1, $2, $3, $4)",
                 {PgValue::Number(itemId),
                  PgValue::Bytes(link),
                  PgValue::Number(now),
                  PgValue::Bytes(repostKey)})
            .ok();
    }
    bool Remember(std::int64_t feedId, const std::string& key, std::int64_t itemId) override
    {
        return connection_
            .Run("INSERT INTO feed_entries (feed_id, key, item_id) VALUES ($1, $2, $3) "
                 "ON CONFLICT (feed_id, sha256(key)) DO NOTHING",
                 {PgValue::Number(feedId), PgValue::Bytes(key), PgValue::Number(itemId)})
            .ok();
    }

private:
    PgConnection& connection_;
};

} // namespace

class PgItemStore::Lease : public StoreLease
{
public:
    Lease(PgItemStore& store, std::pair<std::int32_t, std::int32_t> key, std::uint64_t generation)
        : store_(store)
        , key_(key)
        , generation_(generation)
    { }
    ~Lease() override { store_.Release(key_, generation_); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    bool Held() override { return store_.LeaseHeld(generation_); }

private:
    PgItemStore& store_;
    std::pair<std::int32_t, std::int32_t> key_;
    std::uint64_t generation_;
};

PgItemStore::PgItemStore(std::string uri)
    : uri_(std::move(uri))
{ }

PgItemStore::~PgItemStore() = default;

std::unique_ptr<PgItemStore> PgItemStore::Connect(const std::string& uri, std::string& error)
{
    std::unique_ptr<PgItemStore> store(new PgItemStore(uri));
    if (std::optional<std::string> failure = store->Migrate()) {
        error = *failure;
        return nullptr;
    }
    return store;
}

std::optional<std::string> PgItemStore::Migrate()
{
    std::string error;
    // Under a lock, so that instances started together apply each migration once.
    const bool ok = InTransaction(
        [](PgConnection& connection, std::string& failure) {
            if (std::optional<std::string> locked = connection.Execute(kSchemaLock)) {
                failure = *locked;
                return false;
            }
            if (std::optional<std::string> made = connection.Execute(
                    "CREATE TABLE IF NOT EXISTS schema_migrations (version INTEGER PRIMARY KEY, "
                    "applied TIMESTAMPTZ NOT NULL DEFAULT now())")) {
                failure = *made;
                return false;
            }
            PgRows applied = connection.Run("SELECT COALESCE(MAX(version), 0)::int8 FROM schema_migrations");
            if (!applied.ok()) {
                failure = applied.error();
                return false;
            }
            const std::int64_t version = applied.Int(0, 0);
            constexpr std::int64_t known = static_cast<std::int64_t>(std::size(kMigrations));
            if (version > known) {
                failure = "the database was made by a newer tallyhawk-server (schema "
                    + std::to_string(version) + ", this one knows " + std::to_string(known) + ")";
                return false;
            }
            for (std::int64_t next = version + 1; next <= known; ++next) {
                std::optional<std::string> migrated = connection.Execute(kMigrations[next - 1]);
                if (!migrated) {
                    migrated = connection.Execute("INSERT INTO schema_migrations (version) VALUES ("
                                                  + std::to_string(next) + ")");
                }
                if (migrated) {
                    failure = "migration " + std::to_string(next) + " failed: " + *migrated;
                    return false;
                }
            }
            return true;
        },
        &error);
    return ok ? std::nullopt : std::optional<std::string>(error);
}

std::unique_ptr<PgConnection> PgItemStore::Take(std::string& error)
{
    std::unique_lock<std::mutex> lock(poolMutex_);
    poolFree_.wait(lock, [this] { return !idle_.empty() || open_ < kMostConnections; });
    if (!idle_.empty()) {
        std::unique_ptr<PgConnection> connection = std::move(idle_.back());
        idle_.pop_back();
        return connection;
    }
    ++open_;
    lock.unlock();
    std::unique_ptr<PgConnection> connection = PgConnection::Connect(uri_, error);
    if (!connection) {
        lock.lock();
        --open_;
        poolFree_.notify_one();
    }
    return connection;
}

void PgItemStore::Give(std::unique_ptr<PgConnection> connection)
{
    std::lock_guard<std::mutex> lock(poolMutex_);
    if (connection) {
        idle_.push_back(std::move(connection));
    } else {
        --open_;
    }
    poolFree_.notify_one();
}

bool PgItemStore::WithConnection(const Work& work, std::string* error)
{
    std::string failure;
    std::unique_ptr<PgConnection> connection = Take(failure);
    bool ok = connection != nullptr;
    if (ok) {
        ok = work(*connection, failure);
        // A connection the server dropped is made anew by the next use rather than kept broken.
        if (connection->Broken()) {
            connection.reset();
        }
    }
    Give(std::move(connection));
    if (!ok && error != nullptr) {
        *error = failure.empty() ? "database error" : failure;
    }
    return ok;
}

bool PgItemStore::InTransaction(const Work& work, std::string* error)
{
    return WithConnection(
        [&work](PgConnection& connection, std::string& failure) {
            if (std::optional<std::string> begun = connection.Execute("BEGIN")) {
                failure = *begun;
                return false;
            }
            bool ok = work(connection, failure);
            if (ok) {
                if (std::optional<std::string> committed = connection.Execute("COMMIT")) {
                    failure = *committed;
                    ok = false;
                }
            }
            if (!ok) {
                connection.Execute("ROLLBACK");
            }
            return ok;
        },
        error);
}

// No missed item. A client asks for the items after the highest id it holds and never asks for a lower
// one again. With a sequence alone, two instances posting at once could draw 102 and 103 and commit 103
// first: a client served 103 in between would never be sent 102. So every transaction that adds items
// first takes one lock, held until it commits or rolls back, and draws its ids only then: ids are drawn
// in the order their transactions commit, and a read that sees an id sees every lower id that will ever
// be stored (a rolled-back id leaves a gap that nothing fills). Writers wait for each other, across
// instances; posts are a few rows and a feed's thousands of entries some tens of milliseconds, while
// the reads that make most of the load never wait. Serving only below the lowest id still in flight
// would let writers overlap, but needs every instance to see the others' transactions in flight; the
// lock cannot be got wrong.
bool PgItemStore::PostingTransaction(const Work& work, std::string* error)
{
    return InTransaction(
        [&work](PgConnection& connection, std::string& failure) {
            if (std::optional<std::string> locked = connection.Execute(kItemsLock)) {
                failure = *locked;
                return false;
            }
            return work(connection, failure);
        },
        error);
}

std::optional<std::string> PgItemStore::Check()
{
    std::string error;
    if (!WithConnection(
            [](PgConnection& connection, std::string& failure) {
                PgRows rows = connection.Run("SELECT COUNT(*) FROM schema_migrations");
                failure = rows.error();
                return rows.ok();
            },
            &error)) {
        return error;
    }
    return std::nullopt;
}

std::optional<ServerItem> PgItemStore::Post(ServerItem item, std::string* error)
{
    std::vector<ServerItem> one = {std::move(item)};
    if (!PostAll(one, error)) {
        return std::nullopt;
    }
    return std::move(one.front());
}

bool PgItemStore::PostAll(std::vector<ServerItem>& items, std::string* error)
{
    // Ids given in a transaction that rolls back are taken back from the items.
    std::vector<ServerItem> posted = items;
    if (!PostingTransaction(
            [&posted](PgConnection& connection, std::string& failure) {
                for (ServerItem& item : posted) {
                    if (!InsertOn(connection, item, failure)) {
                        return false;
                    }
                }
                return true;
            },
            error)) {
        return false;
    }
    items = std::move(posted);
    return true;
}

std::optional<std::vector<ServerItem>>
PgItemStore::ItemsAfter(std::int32_t kind, std::int32_t afterId, std::int32_t limit, std::string* error)
{
    std::vector<ServerItem> items;
    if (!WithConnection(
            [&](PgConnection& connection, std::string& failure) {
                PgRows rows = connection.RunPrepared(
                    "SELECT " + ItemColumns()
                        + " FROM items WHERE kind = $1 AND id > $2 ORDER BY id LIMIT $3",
                    {PgValue::Number(kind), PgValue::Number(afterId), PgValue::Number(limit)});
                failure = rows.error();
                for (int row = 0; rows.ok() && row < rows.size(); ++row) {
                    items.push_back(ItemOf(rows, row));
                }
                return rows.ok();
            },
            error)) {
        return std::nullopt;
    }
    return items;
}

std::optional<ServerItem> PgItemStore::Find(std::int32_t id, std::string* error)
{
    std::optional<ServerItem> item;
    if (!WithConnection(
            [&](PgConnection& connection, std::string& failure) {
                PgRows rows = connection.Run("SELECT " + ItemColumns() + " FROM items WHERE id = $1",
                                             {PgValue::Number(id)});
                failure = rows.error();
                if (rows.ok() && rows.size() == 1) {
                    item = ItemOf(rows, 0);
                }
                return rows.ok();
            },
            error)) {
        return std::nullopt;
    }
    return item;
}

std::optional<std::int32_t> PgItemStore::ItemCount(std::string* error)
{
    std::int32_t count = 0;
    if (!WithConnection(
            [&](PgConnection& connection, std::string& failure) {
                PgRows rows = connection.Run("SELECT COUNT(*) FROM items");
                failure = rows.error();
                count = rows.ok() ? static_cast<std::int32_t>(rows.Int(0, 0)) : 0;
                return rows.ok();
            },
            error)) {
        return std::nullopt;
    }
    return count;
}

std::optional<std::int32_t>
PgItemStore::AddNamed(const char* table, const std::string& name, std::string* error)
{
    std::optional<std::int32_t> id;
    // Posting's lock: the list's next id is worked out from its highest.
    if (!PostingTransaction(
            [&](PgConnection& connection, std::string& failure) {
                id = AddNamedOn(connection, table, name, failure);
                return id.has_value();
            },
            error)) {
        return std::nullopt;
    }
    return id;
}

std::optional<std::int32_t> PgItemStore::AddStore(const std::string& name, std::string* error)
{
    return AddNamed("stores", name, error);
}

std::optional<std::int32_t> PgItemStore::AddCategory(const std::string& name, std::string* error)
{
    return AddNamed("categories", name, error);
}

std::optional<std::vector<NamedEntry>>
PgItemStore::NamedAfter(const char* table, std::int32_t afterId, std::string* error)
{
    std::vector<NamedEntry> entries;
    if (!WithConnection(
            [&](PgConnection& connection, std::string& failure) {
                PgRows rows = connection.Run(std::string("SELECT id, name FROM ") + table
                                                 + " WHERE id > $1 ORDER BY id",
                                             {PgValue::Number(afterId)});
                failure = rows.error();
                for (int row = 0; rows.ok() && row < rows.size(); ++row) {
                    entries.push_back({static_cast<std::int32_t>(rows.Int(row, 0)), rows.Bytes(row, 1)});
                }
                return rows.ok();
            },
            error)) {
        return std::nullopt;
    }
    return entries;
}

std::optional<std::vector<NamedEntry>> PgItemStore::StoresAfter(std::int32_t afterId, std::string* error)
{
    return NamedAfter("stores", afterId, error);
}

std::optional<std::vector<NamedEntry>> PgItemStore::CategoriesAfter(std::int32_t afterId, std::string* error)
{
    return NamedAfter("categories", afterId, error);
}

std::optional<std::string> PgItemStore::LinkOf(std::int32_t id)
{
    std::optional<std::string> link;
    WithConnection(
        [&](PgConnection& connection, std::string& failure) {
            PgRows rows
                = connection.Run("SELECT link FROM item_links WHERE item_id = $1", {PgValue::Number(id)});
            failure = rows.error();
            if (rows.ok() && rows.size() == 1 && !rows.Bytes(0, 0).empty()) {
                link = rows.Bytes(0, 0);
            }
            return rows.ok();
        },
        nullptr);
    return link;
}

std::optional<std::int64_t> PgItemStore::AddFeed(const FeedSubscription& feed, std::string* error)
{
    std::int64_t id = 0;
    if (!WithConnection(
            [&](PgConnection& connection, std::string& failure) {
                PgRows rows = connection.Run(
                    "INSERT INTO feeds (url, kind, store, category, every, title, next_fetch) "
                    "VALUES ($1, $2, $3, $4, $5, $6, $7) RETURNING id",
                    {PgValue::Bytes(feed.url),
                     PgValue::Number(feed.kind),
                     PgValue::Bytes(feed.store),
                     PgValue::Bytes(feed.category),
                     PgValue::Number(feed.every),
                     PgValue::Bytes(feed.title),
                     PgValue::Number(feed.nextFetch)});
                failure = rows.error();
                id = rows.ok() && rows.size() == 1 ? rows.Int(0, 0) : 0;
                return rows.ok();
            },
            error)) {
        return std::nullopt;
    }
    return id;
}

std::optional<std::vector<FeedSubscription>>
PgItemStore::SelectFeeds(FeedFilter filter, std::int64_t argument, std::string* error)
{
    const char* where = filter == FeedFilter::Id ? " WHERE id = $1"
        : filter == FeedFilter::DueAt            ? " WHERE next_fetch <= $1"
                                                 : "";
    std::vector<FeedSubscription> feeds;
    if (!WithConnection(
            [&](PgConnection& connection, std::string& failure) {
                std::vector<PgValue> values;
                if (filter != FeedFilter::All) {
                    values.push_back(PgValue::Number(argument));
                }
                PgRows rows = connection.Run(
                    std::string("SELECT ") + kFeedColumns + " FROM feeds" + where + " ORDER BY id", values);
                failure = rows.error();
                for (int row = 0; rows.ok() && row < rows.size(); ++row) {
                    feeds.push_back(FeedOf(rows, row));
                }
                return rows.ok();
            },
            error)) {
        return std::nullopt;
    }
    return feeds;
}

bool PgItemStore::RemoveFeed(std::int64_t id, std::string* error)
{
    bool removed = false;
    const bool ok = InTransaction(
        [&](PgConnection& connection, std::string& failure) {
            PgRows feed = connection.Run("DELETE FROM feeds WHERE id = $1", {PgValue::Number(id)});
            removed = feed.ok() && feed.changed() == 1;
            PgRows entries
                = connection.Run("DELETE FROM feed_entries WHERE feed_id = $1", {PgValue::Number(id)});
            failure = !feed.ok() ? feed.error() : entries.error();
            return feed.ok() && entries.ok();
        },
        error);
    return ok && removed;
}

bool PgItemStore::SaveFetch(const FeedSubscription& feed, std::string* error)
{
    return WithConnection(
        [&](PgConnection& connection, std::string& failure) {
            PgRows rows = connection.Run(
                "UPDATE feeds SET etag = $1, last_modified = $2, last_fetch = $3, last_result = $4, "
                "next_fetch = $5, failures = $6, taken = $7 WHERE id = $8",
                {PgValue::Bytes(feed.etag),
                 PgValue::Bytes(feed.lastModified),
                 PgValue::Number(feed.lastFetch),
                 PgValue::Bytes(feed.lastResult),
                 PgValue::Number(feed.nextFetch),
                 PgValue::Number(feed.failures),
                 PgValue::Number(feed.taken),
                 PgValue::Number(feed.id)});
            failure = rows.error();
            return rows.ok();
        },
        error);
}

bool PgItemStore::TakeFeedEntries(const FeedWork& work, std::string* error)
{
    return PostingTransaction(
        [&work](PgConnection& connection, std::string& failure) {
            PgFeedEntryTables tables(connection);
            return work(tables, failure);
        },
        error);
}

std::unique_ptr<StoreLease> PgItemStore::TryLease(std::int32_t name, std::int32_t id)
{
    std::lock_guard<std::mutex> lock(leaseMutex_);
    // A lock of the session is taken again by the session that holds it: the work is this instance's
    // already, and not to be done twice in it either.
    if (held_.count({name, id}) != 0) {
        return nullptr;
    }
    if (!leaseConnection_ || leaseConnection_->Broken()) {
        // Every lock of the lost connection went with it.
        held_.clear();
        ++leaseGeneration_;
        std::string error;
        leaseConnection_ = PgConnection::Connect(uri_, error);
        if (!leaseConnection_) {
            return nullptr;
        }
    }
    PgRows taken = leaseConnection_->Run("SELECT pg_try_advisory_lock($1::int4, $2::int4)",
                                         {PgValue::Number(name), PgValue::Number(id)});
    if (!taken.ok() || taken.size() != 1 || taken.Int(0, 0) == 0) {
        return nullptr;
    }
    held_.insert({name, id});
    return std::make_unique<Lease>(*this, std::make_pair(name, id), leaseGeneration_);
}

bool PgItemStore::LeaseHeld(std::uint64_t generation)
{
    std::lock_guard<std::mutex> lock(leaseMutex_);
    return generation == leaseGeneration_ && leaseConnection_ && !leaseConnection_->Broken()
        && leaseConnection_->Run("SELECT 1").ok();
}

void PgItemStore::Release(std::pair<std::int32_t, std::int32_t> key, std::uint64_t generation)
{
    std::lock_guard<std::mutex> lock(leaseMutex_);
    if (generation != leaseGeneration_ || !leaseConnection_) {
        return;
    }
    held_.erase(key);
    leaseConnection_->Run("SELECT pg_advisory_unlock($1::int4, $2::int4)",
                          {PgValue::Number(key.first), PgValue::Number(key.second)});
}

} // namespace tallyhawk::server
