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
    // Each table and index past the first seven takes a page at the start, before the items' pages.
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* count = nullptr;
    sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM sqlite_master WHERE rootpage > 0", -1, &count, nullptr);
    const std::size_t shift
        = sqlite3_step(count) == SQLITE_ROW ? static_cast<std::size_t>(sqlite3_column_int(count, 0)) - 7 : 0;
    sqlite3_finalize(count);
    sqlite3_close(db);
    // Pages from 1: with 400 deals, 13 holds items 60 to 75 or so, and 31 the first leaf of the index
    // by kind; the last pages, which an id lookup at the start reads, stay whole.
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    const std::size_t pageSize = 4096;
    const std::string junk(pageSize, '\xa5');
    for (std::size_t page : {13 + shift, 31 + shift}) {
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
