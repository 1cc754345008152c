#include "server/item_store.h"

#include "server/client_fields.h"
#include "server/item_database.h"
#include "server/pg_item_store.h"

namespace tallyhawk::server
{

bool ItemStore::IsPostgresUri(const std::string& db)
{
    return db.starts_with("postgresql://");
}

std::unique_ptr<ItemStore> ItemStore::Open(const std::string& db, std::string& error)
{
    if (IsPostgresUri(db)) {
        return PgItemStore::Connect(db, error);
    }
    auto file = std::make_unique<ItemDatabase>();
    if (std::optional<std::string> failure = file->Open(db)) {
        error = *failure;
        return nullptr;
    }
    return file;
}

bool ItemStore::Admit(ServerItem& item, std::string& error)
{
    if (item.kind < 1 || item.kind > 3) {
        error = "the kind must be 1 (coupon), 2 (deal) or 3 (forum topic)";
        return false;
    }
    ClientFields::Fit(item);
    if (item.title.empty()) {
        error = "an item needs a title";
        return false;
    }
    if (item.categoryId <= 0 && item.categoryName.empty()) {
        error = "an item needs a category: clients keep none without one";
        return false;
    }
    return true;
}

} // namespace tallyhawk::server
