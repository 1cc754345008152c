#pragma once

#include "server/server_item.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace tallyhawk::server
{

// The service's items, stores and categories in one SQLite file (":memory:" for none). Item ids are one
// sequence over every kind, so the highest id a client holds of a kind always moves forward. Stores
// and categories get service ids from 1 up, below the 5000 where a client's own entries begin.
// Safe to use from several threads: each call holds the database alone.
class ItemDatabase
{
public:
    static constexpr std::int32_t kHighestServiceId = 4998;

    ItemDatabase() = default;
    ~ItemDatabase();
    ItemDatabase(const ItemDatabase&) = delete;
    ItemDatabase& operator=(const ItemDatabase&) = delete;

    // Opens or creates the file and its tables. An error text, or nothing on success.
    std::optional<std::string> Open(const std::string& path);

    // Adds an item with the next id; a store or category named but not yet known is added first
    // (when the item gives no id for it). The item as stored, or nothing with `error` set.
    std::optional<ServerItem> Post(ServerItem item, std::string* error = nullptr);
    // The items of a kind with an id above `afterId`, lowest id first, at most `limit`.
    std::vector<ServerItem> ItemsAfter(std::int32_t kind, std::int32_t afterId, std::int32_t limit);
    // One item by id.
    std::optional<ServerItem> Find(std::int32_t id);
    std::int32_t ItemCount();

    // Adds a store or category (or finds the one of that name). Its id, or nothing when the list is full
    // or the name is empty.
    std::optional<std::int32_t> AddStore(const std::string& name) { return AddNamed("stores", name); }
    std::optional<std::int32_t> AddCategory(const std::string& name) { return AddNamed("categories", name); }
    // The entries with an id above `afterId`, in id order.
    std::vector<NamedEntry> StoresAfter(std::int32_t afterId) { return NamedAfter("stores", afterId); }
    std::vector<NamedEntry> CategoriesAfter(std::int32_t afterId)
    {
        return NamedAfter("categories", afterId);
    }

private:
    std::optional<std::int32_t> AddNamed(const char* table, const std::string& name);
    std::optional<std::int32_t> AddNamedLocked(const char* table, const std::string& name);
    std::vector<NamedEntry> NamedAfter(const char* table, std::int32_t afterId);
    std::optional<std::string> NameOf(const char* table, std::int32_t id);
    bool Execute(const char* sql, std::string* error = nullptr);

    std::mutex mutex_;
    sqlite3* db_ = nullptr;
};

} // namespace tallyhawk::server
