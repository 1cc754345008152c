#include "server/feed_ingest.h"

#include "server/client_fields.h"
#include "server/feed_store_name.h"
#include "server/feeds/feed_coupon_code.h"
#include "server/feeds/feed_item_texts.h"
#include "server/item_database.h"
#include "server/sqlite_statement.h"

#include <map>
#include <tuple>

namespace tallyhawk::server
{

namespace
{

// Items of one kind with the same title and store, as a client would keep them, share this key.
std::string RepostKey(const ServerItem& item)
{
    return std::to_string(item.kind) + "\n" + ClientFields::Fit(item.title, ClientFields::kTitleBytes) + "\n"
        + ClientFields::Fit(item.storeName, ClientFields::kStoreNameBytes);
}

// The statements of one Take, prepared once for all its entries.
class IngestStatements
{
public:
    explicit IngestStatements(sqlite3* db)
        : byKey_(db, "SELECT item_id FROM feed_entries WHERE feed_id = ? AND key = ?")
        , byLink_(db, "SELECT item_id FROM item_links WHERE link = ? LIMIT 1")
        , repost_(db, "SELECT item_id FROM item_links WHERE repost_key = ? AND taken >= ? LIMIT 1")
        , link_(db, "INSERT INTO item_links (item_id, link, taken, repost_key) VALUES (?, ?, ?, ?)")
        , remember_(db, "INSERT OR IGNORE INTO feed_entries (feed_id, key, item_id) VALUES (?, ?, ?)")
    { }

    // The item an earlier entry already made, by this feed's key, by its link from any feed, or by
    // its title and store within the repost window; 0 when none. Nothing when the database failed.
    std::optional<std::int64_t> KnownItem(std::int64_t feedId,
                                          const std::string& key,
                                          const std::string& link,
                                          const ServerItem& item,
                                          std::int64_t now)
    {
        if (std::optional<std::int64_t> found = First(byKey_.Reset().Bind(1, feedId).Bind(2, key));
            found != 0) {
            return found;
        }
        if (!link.empty()) {
            if (std::optional<std::int64_t> found = First(byLink_.Reset().Bind(1, link)); found != 0) {
                return found;
            }
        }
        return First(repost_.Reset().Bind(1, RepostKey(item)).Bind(2, now - FeedIngest::kRepostWindow));
    }
    // Kept with an empty link too: the time taken finds reposts.
    bool Link(const ServerItem& item, const std::string& link, std::int64_t now)
    {
        return link_.Reset().Bind(1, item.id).Bind(2, link).Bind(3, now).Bind(4, RepostKey(item)).Done();
    }
    bool Remember(std::int64_t feedId, const std::string& key, std::int64_t itemId)
    {
        return remember_.Reset().Bind(1, feedId).Bind(2, key).Bind(3, itemId).Done();
    }

private:
    // The first column of the first row, 0 when there is none, nothing when the read failed.
    static std::optional<std::int64_t> First(Statement& query)
    {
        if (query.Step()) {
            return query.Int64(0);
        }
        return query.Finished() ? std::optional<std::int64_t>(0) : std::nullopt;
    }

    Statement byKey_;
    Statement byLink_;
    Statement repost_;
    Statement link_;
    Statement remember_;
};

} // namespace

ServerItem FeedIngest::ItemOf(const FeedSubscription& feed,
                              const FeedEntry& entry,
                              const std::vector<std::string>& stores)
{
    const FeedItemTexts texts = FeedItemTexts::From(entry);
    ServerItem item;
    item.kind = feed.kind;
    item.title = texts.title;
    item.description = texts.description;
    item.extra = texts.extra;
    // A coupon's code is what its user needs at the till; the price the text names comes second.
    if (feed.kind == 1) {
        std::optional<std::string> code = FeedCouponCode::First(texts.title);
        if (!code) {
            code = FeedCouponCode::First(texts.description);
        }
        if (code) {
            item.extra = "code " + *code;
        }
    }
    item.storeName = !feed.store.empty() ? feed.store : FeedStoreName::ForLink(entry.link, stores);
    item.categoryName = !feed.category.empty() ? feed.category : kDefaultCategory;
    return item;
}

std::optional<std::vector<ServerItem>> FeedIngest::Take(ItemDatabase& items,
                                                        const FeedSubscription& feed,
                                                        const std::vector<FeedEntry>& entries,
                                                        std::int64_t now,
                                                        std::string* error)
{
    std::vector<std::string> stores;
    if (feed.store.empty()) {
        std::optional<std::vector<NamedEntry>> list = items.StoresAfter(0, error);
        if (!list) {
            return std::nullopt;
        }
        for (const NamedEntry& store : *list) {
            stores.push_back(store.name);
        }
    }
    std::vector<ServerItem> taken;
    const bool ok = items.Transaction(
        [&](sqlite3* db, const ItemDatabase::InsertItem& insert, std::string& failure) {
            IngestStatements statements(db);
            // The list ids of the names met so far, so that each is looked up once per fetch.
            std::map<std::string, std::pair<std::int32_t, std::int32_t>> listIds;
            // Feeds list the newest first: taken from the end, the oldest entry gets the lowest id.
            for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
                const std::string key = FeedItemTexts::Key(*entry);
                ServerItem item = ItemOf(feed, *entry, stores);
                std::optional<std::int64_t> known
                    = statements.KnownItem(feed.id, key, entry->link, item, now);
                if (!known) {
                    return false;
                }
                if (*known == 0 && !item.title.empty()) {
                    const std::string names = item.storeName + '\n' + item.categoryName;
                    if (auto known = listIds.find(names); known != listIds.end()) {
                        std::tie(item.storeId, item.categoryId) = known->second;
                    }
                    if (!insert(item, failure) || !statements.Link(item, entry->link, now)) {
                        return false;
                    }
                    listIds[names] = {item.storeId, item.categoryId};
                    known = item.id;
                    taken.push_back(std::move(item));
                }
                // An entry without a title is remembered too, so it is not looked at again.
                if (!statements.Remember(feed.id, key, *known)) {
                    return false;
                }
            }
            return true;
        },
        error);
    return ok ? std::optional(std::move(taken)) : std::nullopt;
}

} // namespace tallyhawk::server
