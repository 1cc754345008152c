#include "server_test_files.h"

#include "server/item_database.h"

using tallyhawk::server::ItemDatabase;
using tallyhawk::server::ServerItem;

#include <sqlite3.h>

#include <fstream>
#include <stdexcept>

namespace tallyhawk::test
{

void ServerTestFiles::WriteDamaged(const std::string& path)
{
    {
        ItemDatabase items;
        if (items.Open(path)) {
            throw std::runtime_error("cannot make " + path);
        }
        std::vector<ServerItem> deals(400);
        for (ServerItem& deal : deals) {
            deal.kind = 2;
            deal.title = "Deal";
            deal.categoryName = "Garden";
            deal.description = std::string(200, 'd');
        }
        items.PostAll(deals);
    } // closed: the log is folded into the file
    // A leaf of the item table from the middle and the first leaf of the index by kind, found by
    // SQLite's own page list so that any page size does; the last pages, which an id lookup at the
    // start reads, stay whole.
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    const auto number = [db](const char* sql) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
        const std::size_t value = sqlite3_step(statement) == SQLITE_ROW
            ? static_cast<std::size_t>(sqlite3_column_int(statement, 0))
            : 0;
        sqlite3_finalize(statement);
        return value;
    };
    const std::size_t pageSize = number("PRAGMA page_size");
    const std::size_t itemPage
        = number("SELECT pageno FROM dbstat WHERE name = 'items' AND pagetype = 'leaf' "
                 "ORDER BY pageno LIMIT 1 OFFSET 3");
    const std::size_t indexPage = number(
        "SELECT pageno FROM dbstat WHERE name = 'items_by_kind' AND pagetype = 'leaf' ORDER BY pageno");
    sqlite3_close(db);
    if (pageSize == 0 || itemPage == 0 || indexPage == 0) {
        throw std::runtime_error("cannot find the pages to damage in " + path);
    }
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    const std::string junk(pageSize, '\xa5');
    for (std::size_t page : {itemPage, indexPage}) {
        file.seekp(static_cast<std::streamoff>(pageSize * (page - 1)));
        file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
}

void ServerTestFiles::AddUncutDeal(const std::string& path,
                                   const std::string& title,
                                   std::size_t descriptionBytes)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(
        db,
        "INSERT INTO items (kind, store_id, category_id, date, hot, title, description, extra, "
        "store_name, category_name) VALUES (2, 0, 1, 0, 0, ?, ?, '', '', 'Garden')",
        -1,
        &insert,
        nullptr);
    const std::string description(descriptionBytes, 'x');
    sqlite3_bind_text(insert, 1, title.data(), static_cast<int>(title.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, description.data(), static_cast<int>(description.size()), SQLITE_TRANSIENT);
    const int result = sqlite3_step(insert);
    sqlite3_finalize(insert);
    sqlite3_close(db);
    if (result != SQLITE_DONE) {
        throw std::runtime_error("cannot add to " + path);
    }
}

} // namespace tallyhawk::test
