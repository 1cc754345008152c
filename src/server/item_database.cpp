#include "server/item_database.h"

#include "server/client_fields.h"
#include "server/server_options.h"
#include "server/sqlite_statement.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

namespace tallyhawk::server
{

namespace
{

// The schema's numbered migrations, the first the tables as they were before the schema had a version
// (each statement of it leaves a file made then as it is). A migration is only ever added, never
// changed: a file records the highest number applied in its user_version.
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
CREATE TABLE IF NOT EXISTS item_links (
    item_id INTEGER PRIMARY KEY,
    link TEXT NOT NULL,
    taken INTEGER NOT NULL,
    repost_key TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS item_links_by_link ON item_links (link);
CREATE INDEX IF NOT EXISTS item_links_by_repost_key ON item_links (repost_key, taken);
CREATE TABLE IF NOT EXISTS feeds (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    url TEXT NOT NULL,
    kind INTEGER NOT NULL,
    store TEXT NOT NULL,
    category TEXT NOT NULL,
    every INTEGER NOT NULL,
    title TEXT NOT NULL,
    etag TEXT NOT NULL DEFAULT '',
    last_modified TEXT NOT NULL DEFAULT '',
    last_fetch INTEGER NOT NULL DEFAULT 0,
    last_result TEXT NOT NULL DEFAULT '',
    next_fetch INTEGER NOT NULL DEFAULT 0,
    failures INTEGER NOT NULL DEFAULT 0,
    taken INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS feed_entries (
    feed_id INTEGER NOT NULL,
    key TEXT NOT NULL,
    item_id INTEGER NOT NULL,
    PRIMARY KEY (feed_id, key)) WITHOUT ROWID;
)";
constexpr const char* kMigrations[] = {kSchema};
constexpr int kSchemaVersion = static_cast<int>(std::size(kMigrations));

// Texts are read only as far as a client keeps them: an item stored before texts were cut on the way
// in may hold megabytes that no reply carries.
std::string TextColumn(const char* column, std::size_t limit)
{
    return std::string("substr(CAST(") + column + " AS BLOB), 1, "
        + std::to_string(limit + ClientFields::kReadAhead) + ")";
}

const std::string& ItemColumns()
{
    static const std::string columns = "id, kind, store_id, category_id, date, hot, "
        + TextColumn("title", ClientFields::kTitleBytes) + ", "
        + TextColumn("description", ClientFields::kDescriptionBytes) + ", "
        + TextColumn("extra", ClientFields::kExtraBytes) + ", "
        + TextColumn("store_name", ClientFields::kStoreNameBytes) + ", "
        + TextColumn("category_name", ClientFields::kCategoryNameBytes);
    return columns;
}

ServerItem ItemOf(const Statement& row)
{
    ServerItem item;
    item.id = row.Int(0);
    item.kind = row.Int(1);
    item.storeId = row.Int(2);
    item.categoryId = row.Int(3);
    item.date = row.Int(4);
    item.hot = row.Int(5);
    item.title = ClientFields::FitPrefix(row.Text(6), ClientFields::kTitleBytes);
    item.description = ClientFields::FitPrefix(row.Text(7), ClientFields::kDescriptionBytes);
    item.extra = ClientFields::FitPrefix(row.Text(8), ClientFields::kExtraBytes);
    item.storeName = ClientFields::FitPrefix(row.Text(9), ClientFields::kStoreNameBytes);
    item.categoryName = ClientFields::FitPrefix(row.Text(10), ClientFields::kCategoryNameBytes);
    return item;
}

template <typename T>
std::optional<T> Failed(std::string* error, std::string text)
{
    if (error != nullptr) {
        *error = std::move(text);
    }
    return std::nullopt;
}

// SQLite counts the memory it holds under a global lock taken around every allocation, which a feed of
// thousands of entries feels; the service never reads the count nor sets a heap limit. It can only be
// turned off before SQLite starts: where SQLite already runs in the process, it stays on.
void LeaveMemoryUncounted()
{
    static std::once_flag once;
    std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
}

bool IsMemory(const std::string& path)
{
    return path.empty() || path == ":memory:";
}

} // namespace

ItemDatabase::ItemDatabase() = default;

ItemDatabase::~ItemDatabase()
{
    cached_.clear();
    sqlite3_close(db_);
}

Statement& ItemDatabase::Cached(const std::string& sql)
{
    std::unique_ptr<Statement>& statement = cached_[sql];
    if (!statement || !statement->Prepared()) {
        statement = std::make_unique<Statement>(db_, sql);
    }
    // Every use binds all the values anew.
    return statement->Rewind();
}

bool ItemDatabase::Execute(const char* sql, std::string* error)
{
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) {
        return true;
    }
    if (error != nullptr) {
        *error = message ? message : Failure();
    }
    sqlite3_free(message);
    return false;
}

std::string ItemDatabase::Failure()
{
    const int code = sqlite3_extended_errcode(db_) & 0xff;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
        return "the database is busy: another program kept it locked for " + std::to_string(lockWait_.count())
            + " ms; try again";
    }
    return std::string("database error: ") + sqlite3_errmsg(db_);
}

std::optional<std::string> ItemDatabase::Open(const std::string& path, std::chrono::milliseconds lockWait)
{
    std::lock_guard<std::mutex> lock(mutex_);
    path_ = path;
    lockWait_ = lockWait;
    return OpenLocked();
}

std::optional<std::string> ItemDatabase::Reopen()
{
    std::lock_guard<std::mutex> lock(mutex_);
    cached_.clear();
    sqlite3_close(db_);
    db_ = nullptr;
    return OpenLocked();
}

std::optional<std::string> ItemDatabase::OpenLocked()
{
    notice_.clear();
    LeaveMemoryUncounted();
    // Every use of the connection holds mutex_, so SQLite's own lock around each call is not needed.
    if (sqlite3_open_v2(
            path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        std::string error = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        return "cannot open " + path_ + ": " + error;
    }
    // Another process (post, import) may write while the server reads.
    sqlite3_busy_timeout(db_, static_cast<int>(lockWait_.count()));
    std::string error;
    // A new file gets 8 KiB pages: rows of items and the keys of links are long, and a feed of thousands
    // of entries writes half as many pages to the log as with 4 KiB ones. An existing file keeps the
    // size it was made with (the setting does nothing there).
    if (!Execute("PRAGMA page_size=8192; PRAGMA journal_mode=WAL;", &error)) {
        return path_ + " is not a usable item database: " + error;
    }
    if (std::optional<std::string> failure = Migrate()) {
        return path_ + *failure;
    }
    struct stat status
    { };
    if (!IsMemory(path_) && ::stat(path_.c_str(), &status) == 0) {
        device_ = status.st_dev;
        inode_ = status.st_ino;
    }
    return KeepSequence();
}

std::optional<std::string> ItemDatabase::Migrate()
{
    std::string error;
    // Taken at once, so two programs opening a new file apply each migration once.
    if (!Execute("BEGIN IMMEDIATE", &error)) {
        return " is not a usable item database: " + Failure();
    }
    Statement version(db_, "PRAGMA user_version");
    const int applied = version.Step() ? version.Int(0) : -1;
    version.Reset();
    if (applied < 0) {
        error = Failure();
    } else if (applied > kSchemaVersion) {
        Execute("ROLLBACK");
        return " was made by a newer tallyhawk-server (schema " + std::to_string(applied)
            + ", this one knows " + std::to_string(kSchemaVersion) + ")";
    }
    for (int next = applied + 1; applied >= 0 && next <= kSchemaVersion && error.empty(); ++next) {
        if (Execute(kMigrations[next - 1], &error)) {
            Execute(("PRAGMA user_version = " + std::to_string(next)).c_str(), &error);
        }
    }
    if (error.empty() && !Execute("COMMIT", &error)) {
        error = Failure();
    }
    if (!error.empty()) {
        Execute("ROLLBACK");
        return " is not a usable item database: " + error;
    }
    return std::nullopt;
}

std::optional<std::string> ItemDatabase::KeepSequence()
{
    highestKept_ = 0;
    if (IsMemory(path_)) {
        return std::nullopt;
    }
    const std::string keptPath = path_ + ".highest-id";
    std::int32_t kept = 0;
    if (std::ifstream file(keptPath); file) {
        std::stringstream text;
        text << file.rdbuf();
        std::string number = text.str();
        while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) {
            number.pop_back();
        }
        std::optional<long long> value = WholeNumber(number, 0, std::numeric_limits<std::int32_t>::max());
        if (!value) {
            return keptPath + " is damaged: it should hold the highest item id given out, and nothing else";
        }
        kept = static_cast<std::int32_t>(*value);
    }
    Statement highest(db_,
                      "SELECT MAX(COALESCE((SELECT seq FROM sqlite_sequence WHERE name = 'items'), 0), "
                      "COALESCE((SELECT MAX(id) FROM items), 0))");
    if (!highest.Step()) {
        return path_ + " is not a usable item database: " + Failure();
    }
    const std::int32_t held = highest.Int(0);
    if (kept > held) {
        Statement update(db_, "UPDATE sqlite_sequence SET seq = ? WHERE name = 'items'");
        if (!update.Bind(1, kept).Done()) {
            return path_ + ": " + Failure();
        }
        if (sqlite3_changes(db_) == 0) {
            Statement insert(db_, "INSERT INTO sqlite_sequence (name, seq) VALUES ('items', ?)");
            if (!insert.Bind(1, kept).Done()) {
                return path_ + ": " + Failure();
            }
        }
        notice_ = path_ + " holds no item above id " + std::to_string(held) + "; new items go on after "
            + std::to_string(kept) + ", the highest id given out (kept in " + keptPath
            + "), so no client is sent an id below one it holds";
    }
    highestKept_ = kept;
    RecordHighestId(held);
    return std::nullopt;
}

void ItemDatabase::RecordHighestId(std::int32_t id)
{
    if (id <= highestKept_ || IsMemory(path_)) {
        return;
    }
    // Replaced whole, so a reader never sees half a number. A failed write leaves the older, lower id:
    // the database itself still holds the sequence as long as the file is not replaced.
    const std::string keptPath = path_ + ".highest-id";
    const std::string partPath = keptPath + ".part";
    {
        std::ofstream file(partPath, std::ios::binary | std::ios::trunc);
        file << id << "\n";
        if (!file.flush()) {
            std::remove(partPath.c_str());
            return;
        }
    }
    if (std::rename(partPath.c_str(), keptPath.c_str()) == 0) {
        highestKept_ = id;
    }
}

std::string ItemDatabase::notice()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return notice_;
}

std::optional<std::string> ItemDatabase::Check()
{
    std::lock_guard<std::mutex> lock(mutex_);
    Statement check(db_, "PRAGMA quick_check");
    std::string problems;
    while (check.Step()) {
        const std::string row = check.Text(0);
        if (row == "ok") {
            return std::nullopt;
        }
        problems += (problems.empty() ? "" : "; ") + row;
    }
    if (!check.Finished()) {
        return Failure();
    }
    return problems;
}

bool ItemDatabase::FileReplaced()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (IsMemory(path_)) {
        return false;
    }
    struct stat status
    { };
    return ::stat(path_.c_str(), &status) != 0 || status.st_dev != device_ || status.st_ino != inode_;
}

std::optional<std::int32_t>
ItemDatabase::AddNamedLocked(const char* table, const std::string& wholeName, std::string& error)
{
    const std::string name = ClientFields::Fit(wholeName, ClientFields::kListNameBytes);
    if (name.empty()) {
        error = "the name is empty";
        return std::nullopt;
    }
    {
        Statement& find = Cached(std::string("SELECT id FROM ") + table + " WHERE name = ?");
        const bool found = find.Bind(1, name).Step();
        const std::int32_t id = found ? find.Int(0) : 0;
        const bool failed = !found && !find.Finished();
        // Reset at once: a statement left on a row would hold its read open.
        find.Reset();
        if (found) {
            return id;
        }
        if (failed) {
            error = Failure();
            return std::nullopt;
        }
    }
    Statement insert(db_,
                     std::string("INSERT INTO ") + table
                         + " (id, name) SELECT COALESCE(MAX(id), 0) + 1, ? FROM " + table
                         + " HAVING COALESCE(MAX(id), 0) < " + std::to_string(kHighestServiceId));
    if (!insert.Bind(1, name).Done()) {
        error = Failure();
        return std::nullopt;
    }
    if (sqlite3_changes(db_) != 1) {
        error = std::string("the ") + table + " list is full";
        return std::nullopt;
    }
    return static_cast<std::int32_t>(sqlite3_last_insert_rowid(db_));
}

std::optional<std::int32_t>
ItemDatabase::AddNamed(const char* table, const std::string& name, std::string* error)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::string failure;
    std::optional<std::int32_t> id = AddNamedLocked(table, name, failure);
    if (!id && error != nullptr) {
        *error = failure;
    }
    return id;
}

std::optional<std::string> ItemDatabase::NameOf(const char* table, std::int32_t id)
{
    Statement find(db_, std::string("SELECT name FROM ") + table + " WHERE id = ?");
    if (find.Bind(1, id).Step()) {
        return find.Text(0);
    }
    return std::nullopt;
}

std::optional<std::vector<NamedEntry>>
ItemDatabase::NamedAfter(const char* table, std::int32_t afterId, std::string* error)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<NamedEntry> entries;
    Statement rows(db_, std::string("SELECT id, name FROM ") + table + " WHERE id > ? ORDER BY id");
    rows.Bind(1, afterId);
    while (rows.Step()) {
        entries.push_back({rows.Int(0), rows.Text(1)});
    }
    if (!rows.Finished()) {
        return Failed<std::vector<NamedEntry>>(error, Failure());
    }
    return entries;
}

bool ItemDatabase::InsertLocked(ServerItem& item, std::string& error)
{
    if (!Admit(item, error)) {
        return false;
    }
    // Each name given without an id becomes (or finds) an entry of its list, and the reverse.
    const std::pair<const char*, std::pair<std::int32_t*, std::string*>> lists[] = {
        {"stores", {&item.storeId, &item.storeName}},
        {"categories", {&item.categoryId, &item.categoryName}},
    };
    for (const auto& [table, fields] : lists) {
        auto& [id, name] = fields;
        if (*id == 0 && !name->empty()) {
            std::optional<std::int32_t> added = AddNamedLocked(table, *name, error);
            if (!added) {
                return false;
            }
            *id = *added;
        } else if (*id > 0 && name->empty()) {
            *name = NameOf(table, *id).value_or("");
        }
    }
    static const std::string kInsert
        = "INSERT INTO items (kind, store_id, category_id, date, hot, title, description, extra, store_name, "
          "category_name) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
    // The item's texts stay as they are until the step is over.
    Statement& insert = Cached(kInsert);
    insert.Bind(1, item.kind)
        .Bind(2, item.storeId)
        .Bind(3, item.categoryId)
        .Bind(4, item.date)
        .Bind(5, item.hot)
        .BindUncopied(6, item.title)
        .BindUncopied(7, item.description)
        .BindUncopied(8, item.extra)
        .BindUncopied(9, item.storeName)
        .BindUncopied(10, item.categoryName);
    if (!insert.Done()) {
        error = Failure();
        return false;
    }
    item.id = static_cast<std::int32_t>(sqlite3_last_insert_rowid(db_));
    return true;
}

bool ItemDatabase::PostAll(std::vector<ServerItem>& items, std::string* error)
{
    return Transaction(
        [&items](sqlite3*, const InsertItem& insert, std::string& failure) {
            for (ServerItem& item : items) {
                if (!insert(item, failure)) {
                    return false;
                }
            }
            return true;
        },
        error);
}

bool ItemDatabase::Transaction(
    const std::function<bool(sqlite3* db, const InsertItem& insert, std::string& error)>& work,
    std::string* error)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::string failure;
    // Taken at once, so a busy database is found (after the wait) before anything is added.
    bool ok = Execute("BEGIN IMMEDIATE", &failure);
    if (!ok) {
        failure = Failure();
    }
    std::int32_t highest = 0;
    const InsertItem insert = [this, &highest](ServerItem& item, std::string& insertError) {
        if (!InsertLocked(item, insertError)) {
            return false;
        }
        highest = std::max(highest, item.id);
        return true;
    };
    ok = ok && work(db_, insert, failure);
    if (ok && !Execute("COMMIT", &failure)) {
        failure = Failure();
        ok = false;
    }
    if (!ok) {
        Execute("ROLLBACK");
        if (error != nullptr) {
            *error = failure.empty() ? Failure() : failure;
        }
        return false;
    }
    RecordHighestId(highest);
    return true;
}

bool ItemDatabase::Read(const std::function<bool(sqlite3* db, std::string& error)>& work, std::string* error)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::string failure;
    if (work(db_, failure)) {
        return true;
    }
    if (error != nullptr) {
        *error = failure.empty() ? Failure() : failure;
    }
    return false;
}

std::optional<std::string> ItemDatabase::LinkOf(std::int32_t id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Statement row(db_, "SELECT link FROM item_links WHERE item_id = ?");
    if (row.Bind(1, id).Step() && !row.Text(0).empty()) {
        return row.Text(0);
    }
    return std::nullopt;
}

std::optional<ServerItem> ItemDatabase::Post(ServerItem item, std::string* error)
{
    std::vector<ServerItem> one = {std::move(item)};
    if (!PostAll(one, error)) {
        return std::nullopt;
    }
    return std::move(one.front());
}

std::optional<std::vector<ServerItem>>
ItemDatabase::ItemsAfter(std::int32_t kind, std::int32_t afterId, std::int32_t limit, std::string* error)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<ServerItem> items;
    Statement rows(db_,
                   "SELECT " + ItemColumns() + " FROM items WHERE kind = ? AND id > ? ORDER BY id LIMIT ?");
    rows.Bind(1, kind).Bind(2, afterId).Bind(3, limit);
    while (rows.Step()) {
        items.push_back(ItemOf(rows));
    }
    if (!rows.Finished()) {
        return Failed<std::vector<ServerItem>>(error, Failure());
    }
    return items;
}

std::optional<ServerItem> ItemDatabase::Find(std::int32_t id, std::string* error)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Statement row(db_, "SELECT " + ItemColumns() + " FROM items WHERE id = ?");
    if (row.Bind(1, id).Step()) {
        return ItemOf(row);
    }
    if (!row.Finished()) {
        return Failed<ServerItem>(error, Failure());
    }
    return std::nullopt;
}

std::optional<std::int32_t> ItemDatabase::ItemCount(std::string* error)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Statement count(db_, "SELECT COUNT(*) FROM items");
    if (!count.Step()) {
        return Failed<std::int32_t>(error, Failure());
    }
    return count.Int(0);
}

} // namespace tallyhawk::server
