#include "server/item_database.h"

#include <sqlite3.h>

#include <memory>

namespace tallyhawk::server
{

namespace
{

// A prepared statement that finalizes itself.
class Statement
{
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return statement_ != nullptr; }
    Statement& Bind(int index, std::int64_t value)
    {
        sqlite3_bind_int64(statement_, index, value);
        return *this;
    }
    Statement& Bind(int index, const std::string& text)
    {
        sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // True while a row is there.
    bool Step() { return ok() && sqlite3_step(statement_) == SQLITE_ROW; }
    bool Done() { return ok() && sqlite3_step(statement_) == SQLITE_DONE; }
    std::int32_t Int(int column) const
    {
        return static_cast<std::int32_t>(sqlite3_column_int64(statement_, column));
    }
    std::string Text(int column) const
    {
        const unsigned char* text = sqlite3_column_text(statement_, column);
        const int size = sqlite3_column_bytes(statement_, column);
        return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size))
                    : std::string();
    }

private:
    sqlite3_stmt* statement_ = nullptr;
};

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS items (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    kind INTEGER NOT NULL,
    store_id INTEGER NOT NULL,
    category_id INTEGER NOT NULL,
    date INTEGER NOT NULL,
    hot INTEGER NOT NULL,
    title TEXT NOT NULL,
    description TEXT NOT NULL,
    extra TEXT NOT NULL,
    store_name TEXT NOT NULL,
    category_name TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS items_by_kind ON items (kind, id);
CREATE TABLE IF NOT EXISTS stores (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
CREATE TABLE IF NOT EXISTS categories (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
)";

constexpr const char* kItemColumns
    = "id, kind, store_id, category_id, date, hot, title, description, extra, store_name, category_name";

ServerItem ItemOf(const Statement& row)
{
    ServerItem item;
    item.id = row.Int(0);
    item.kind = row.Int(1);
    item.storeId = row.Int(2);
    item.categoryId = row.Int(3);
    item.date = row.Int(4);
    item.hot = row.Int(5);
    item.title = row.Text(6);
    item.description = row.Text(7);
    item.extra = row.Text(8);
    item.storeName = row.Text(9);
    item.categoryName = row.Text(10);
    return item;
}

} // namespace

ItemDatabase::~ItemDatabase()
{
    sqlite3_close(db_);
}

bool ItemDatabase::Execute(const char* sql, std::string* error)
{
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) {
        return true;
    }
    if (error != nullptr) {
        *error = message ? message : "unknown database error";
    }
    sqlite3_free(message);
    return false;
}

std::optional<std::string> ItemDatabase::Open(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
        std::string error = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        return "cannot open " + path + ": " + error;
    }
    // Another process (post, import) may write while the server reads.
    sqlite3_busy_timeout(db_, 5000);
    std::string error;
    if (!Execute("PRAGMA journal_mode=WAL;", &error) || !Execute(kSchema, &error)) {
        return path + " is not a usable item database: " + error;
    }
    return std::nullopt;
}

std::optional<std::int32_t> ItemDatabase::AddNamedLocked(const char* table, const std::string& name)
{
    if (name.empty()) {
        return std::nullopt;
    }
    {
        Statement find(db_, (std::string("SELECT id FROM ") + table + " WHERE name = ?").c_str());
        if (find.Bind(1, name).Step()) {
            return find.Int(0);
        }
    }
    Statement insert(db_,
                     (std::string("INSERT INTO ") + table
                      + " (id, name) SELECT COALESCE(MAX(id), 0) + 1, ? FROM " + table
                      + " HAVING COALESCE(MAX(id), 0) < " + std::to_string(kHighestServiceId))
                         .c_str());
    if (!insert.Bind(1, name).Done() || sqlite3_changes(db_) != 1) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(sqlite3_last_insert_rowid(db_));
}

std::optional<std::int32_t> ItemDatabase::AddNamed(const char* table, const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return AddNamedLocked(table, name);
}

std::optional<std::string> ItemDatabase::NameOf(const char* table, std::int32_t id)
{
    Statement find(db_, (std::string("SELECT name FROM ") + table + " WHERE id = ?").c_str());
    if (find.Bind(1, id).Step()) {
        return find.Text(0);
    }
    return std::nullopt;
}

std::vector<NamedEntry> ItemDatabase::NamedAfter(const char* table, std::int32_t afterId)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<NamedEntry> entries;
    Statement rows(db_, (std::string("SELECT id, name FROM ") + table + " WHERE id > ? ORDER BY id").c_str());
    rows.Bind(1, afterId);
    while (rows.Step()) {
        entries.push_back({rows.Int(0), rows.Text(1)});
    }
    return entries;
}

std::optional<ServerItem> ItemDatabase::Post(ServerItem item, std::string* error)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto fail = [&](std::string text) -> std::optional<ServerItem> {
        if (error != nullptr) {
            *error = std::move(text);
        }
        return std::nullopt;
    };
    if (item.kind < 1 || item.kind > 3) {
        return fail("the kind must be 1 (coupon), 2 (deal) or 3 (forum topic)");
    }
    if (item.title.empty()) {
        return fail("an item needs a title");
    }
    // Each name given without an id becomes (or finds) an entry of its list, and the reverse.
    const std::pair<const char*, std::pair<std::int32_t*, std::string*>> lists[] = {
        {"stores", {&item.storeId, &item.storeName}},
        {"categories", {&item.categoryId, &item.categoryName}},
    };
    for (const auto& [table, fields] : lists) {
        auto& [id, name] = fields;
        if (*id == 0 && !name->empty()) {
            std::optional<std::int32_t> added = AddNamedLocked(table, *name);
            if (!added) {
                return fail(std::string("the ") + table + " list is full");
            }
            *id = *added;
        } else if (*id > 0 && name->empty()) {
            *name = NameOf(table, *id).value_or("");
        }
    }
    Statement insert(db_,
                     "INSERT INTO items (kind, store_id, category_id, date, hot, title, description, extra, "
                     "store_name, category_name) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.Bind(1, item.kind)
        .Bind(2, item.storeId)
        .Bind(3, item.categoryId)
        .Bind(4, item.date)
        .Bind(5, item.hot)
        .Bind(6, item.title)
        .Bind(7, item.description)
        .Bind(8, item.extra)
        .Bind(9, item.storeName)
        .Bind(10, item.categoryName);
    if (!insert.Done()) {
        return fail(sqlite3_errmsg(db_));
    }
    item.id = static_cast<std::int32_t>(sqlite3_last_insert_rowid(db_));
    return item;
}

std::vector<ServerItem> ItemDatabase::ItemsAfter(std::int32_t kind, std::int32_t afterId, std::int32_t limit)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<ServerItem> items;
    Statement rows(
        db_,
        (std::string("SELECT ") + kItemColumns + " FROM items WHERE kind = ? AND id > ? ORDER BY id LIMIT ?")
            .c_str());
    rows.Bind(1, kind).Bind(2, afterId).Bind(3, limit);
    while (rows.Step()) {
        items.push_back(ItemOf(rows));
    }
    return items;
}

std::optional<ServerItem> ItemDatabase::Find(std::int32_t id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Statement row(db_, (std::string("SELECT ") + kItemColumns + " FROM items WHERE id = ?").c_str());
    if (row.Bind(1, id).Step()) {
        return ItemOf(row);
    }
    return std::nullopt;
}

std::int32_t ItemDatabase::ItemCount()
{
    std::lock_guard<std::mutex> lock(mutex_);
    Statement count(db_, "SELECT COUNT(*) FROM items");
    return count.Step() ? count.Int(0) : 0;
}

} // namespace tallyhawk::server
