#include "core/store/alert_memory.h"

#include "core/common/item_kind.h"

#include <sqlite3.h>

#include <cctype>

namespace tallyhawk
{

namespace
{

constexpr int kLockWaitMs = 5000;

constexpr const char* kSchema
    = "CREATE TABLE IF NOT EXISTS alerted(key TEXT PRIMARY KEY, at INTEGER NOT NULL);"
      "CREATE INDEX IF NOT EXISTS alerted_at ON alerted(at);"
      "CREATE TABLE IF NOT EXISTS muted(what INTEGER NOT NULL, key TEXT NOT NULL, "
      "name TEXT NOT NULL, PRIMARY KEY(what, key));"
      "CREATE TABLE IF NOT EXISTS held(kind INTEGER PRIMARY KEY, count INTEGER NOT NULL);"
      "CREATE TABLE IF NOT EXISTS state(name TEXT PRIMARY KEY, value INTEGER NOT NULL);";

// Drops a trailing "(n)" that reposts and copies carry.
std::string_view WithoutCopyNumber(std::string_view text)
{
    std::size_t end = text.find_last_not_of(' ');
    if (end == std::string_view::npos || text[end] != ')') {
        return text;
    }
    std::size_t at = end;
    while (at > 0 && std::isdigit(static_cast<unsigned char>(text[at - 1]))) {
        --at;
    }
    if (at == end || at == 0 || text[at - 1] != '(') {
        return text;
    }
    return text.substr(0, at - 1);
}

} // namespace

// A prepared statement, finalised when it goes.
struct AlertMemory::Statement
{
    Statement(sqlite3* db, const char* sql)
    {
        if (db != nullptr && sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
            stmt = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::string_view text)
    {
        if (stmt) {
            sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
        return *this;
    }
    Statement& Bind(int index, std::int64_t number)
    {
        if (stmt) {
            sqlite3_bind_int64(stmt, index, number);
        }
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE, or an error.
    int Step() { return stmt ? sqlite3_step(stmt) : SQLITE_ERROR; }
    bool Run() { return Step() == SQLITE_DONE; }
    std::int64_t Number(int column) const { return sqlite3_column_int64(stmt, column); }
    std::string Text(int column) const
    {
        const auto* text = sqlite3_column_text(stmt, column);
        return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
    }

    sqlite3_stmt* stmt = nullptr;
};

AlertMemory::AlertMemory(const std::filesystem::path& file)
{
    if (sqlite3_open_v2(
            file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr)
        != SQLITE_OK) {
        problem_ = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        return;
    }
    sqlite3_busy_timeout(db_, kLockWaitMs);
    // A lost last change costs at most a repeated alert, so commits need not wait for the disk.
    if (!Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;") || !Execute(kSchema)) {
        problem_ = sqlite3_errmsg(db_);
        sqlite3_close(db_);
        db_ = nullptr;
    }
}

AlertMemory::~AlertMemory()
{
    sqlite3_close(db_);
}

bool AlertMemory::Execute(const char* sql)
{
    return db_ != nullptr && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool AlertMemory::AlertedSince(const std::string& key, std::int32_t since)
{
    Statement query(db_, "SELECT 1 FROM alerted WHERE key = ?1 AND at > ?2");
    return query.Bind(1, key).Bind(2, std::int64_t{since}).Step() == SQLITE_ROW;
}

bool AlertMemory::Remember(const std::string& key, std::int32_t at)
{
    if (!Execute("BEGIN IMMEDIATE")) {
        return false;
    }
    Statement insert(db_,
                     "INSERT INTO alerted(key, at) VALUES(?1, ?2) "
                     "ON CONFLICT(key) DO UPDATE SET at = MAX(at, excluded.at)");
    Statement prune(db_, "DELETE FROM alerted WHERE at < ?1");
    const bool done = insert.Bind(1, key).Bind(2, std::int64_t{at}).Run()
        && prune.Bind(1, std::int64_t{at} - kKeptSeconds).Run();
    return Execute(done ? "COMMIT" : "ROLLBACK") && done;
}

bool AlertMemory::Mute(Muted what, std::string_view name)
{
    const std::string key = NormalisedText(name);
    if (key.empty()) {
        return false;
    }
    Statement insert(db_, "INSERT OR IGNORE INTO muted(what, key, name) VALUES(?1, ?2, ?3)");
    return insert.Bind(1, std::int64_t{static_cast<int>(what)}).Bind(2, key).Bind(3, name).Run()
        && sqlite3_changes(db_) > 0;
}

bool AlertMemory::Unmute(Muted what, std::string_view name)
{
    Statement remove(db_, "DELETE FROM muted WHERE what = ?1 AND key = ?2");
    return remove.Bind(1, std::int64_t{static_cast<int>(what)}).Bind(2, NormalisedText(name)).Run()
        && sqlite3_changes(db_) > 0;
}

bool AlertMemory::IsMuted(Muted what, std::string_view name)
{
    const std::string key = NormalisedText(name);
    if (key.empty()) {
        return false;
    }
    Statement query(db_, "SELECT 1 FROM muted WHERE what = ?1 AND key = ?2");
    return query.Bind(1, std::int64_t{static_cast<int>(what)}).Bind(2, key).Step() == SQLITE_ROW;
}

std::vector<std::string> AlertMemory::MutedNames(Muted what)
{
    std::vector<std::string> names;
    Statement query(db_, "SELECT name FROM muted WHERE what = ?1 ORDER BY key");
    query.Bind(1, std::int64_t{static_cast<int>(what)});
    while (query.Step() == SQLITE_ROW) {
        names.push_back(query.Text(0));
    }
    return names;
}

bool AlertMemory::Hold(std::int32_t kind)
{
    Statement insert(
        db_, "INSERT INTO held(kind, count) VALUES(?1, 1) ON CONFLICT(kind) DO UPDATE SET count = count + 1");
    return insert.Bind(1, std::int64_t{kind}).Run();
}

AlertMemory::Held AlertMemory::PeekHeld()
{
    Held held;
    Statement query(db_, "SELECT kind, count FROM held");
    while (query.Step() == SQLITE_ROW) {
        const std::int64_t kind = query.Number(0);
        const int count = static_cast<int>(std::min<std::int64_t>(query.Number(1), 1 << 30));
        if (kind == KindNumber(ItemKind::Coupon)) {
            held.coupons = count;
        } else if (kind == KindNumber(ItemKind::Deal)) {
            held.deals = count;
        } else if (kind == KindNumber(ItemKind::Topic)) {
            held.topics = count;
        }
    }
    return held;
}

AlertMemory::Held AlertMemory::TakeHeld()
{
    // Read and cleared in one transaction, so two programs never both report the same held alerts.
    if (!Execute("BEGIN IMMEDIATE")) {
        return {};
    }
    Held held = PeekHeld();
    if (!Execute("DELETE FROM held") || !Execute("COMMIT")) {
        Execute("ROLLBACK");
        return {};
    }
    return held;
}

std::int32_t AlertMemory::PausedUntil()
{
    Statement query(db_, "SELECT value FROM state WHERE name = 'pausedUntil'");
    return query.Step() == SQLITE_ROW ? static_cast<std::int32_t>(query.Number(0)) : 0;
}

bool AlertMemory::SetPausedUntil(std::int32_t until)
{
    Statement write(db_,
                    "INSERT INTO state(name, value) VALUES('pausedUntil', ?1) "
                    "ON CONFLICT(name) DO UPDATE SET value = excluded.value");
    return write.Bind(1, std::int64_t{until}).Run();
}

std::string NormalisedText(std::string_view text)
{
    std::string normal;
    bool space = false;
    for (char c : WithoutCopyNumber(text)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80 && (std::ispunct(byte) || std::isspace(byte) || std::iscntrl(byte))) {
            // Punctuation is dropped; a run of spaces becomes one.
            space = space || std::isspace(byte) || std::iscntrl(byte);
            continue;
        }
        if (space && !normal.empty()) {
            normal += ' ';
        }
        space = false;
        normal += byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : c;
    }
    return normal;
}

std::string DealKey(std::string_view title, std::string_view storeName)
{
    return NormalisedText(title) + '\x1f' + NormalisedText(storeName);
}

} // namespace tallyhawk
