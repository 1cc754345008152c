#include "server/feed_ingest.h"

#include "server/client_fields.h"
#include "server/feed_store_name.h"
#include "server/feeds/feed_coupon_code.h"
#include "server/feeds/feed_item_texts.h"
#include "server/item_database.h"
#include "server/sqlite_statement.h"

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

// The item an earlier entry already made, by this feed's key, by its link from any feed, or by its
// title and store within the repost window; 0 when none. Nothing when the database failed.
std::optional<std::int64_t> KnownItem(sqlite3* db,
                                      std::int64_t feedId,
                                      const std::string& key,
                                      const std::string& link,
                                      const ServerItem& item,
                                      std::int64_t now)
{
    Statement byKey(db, "SELECT item_id FROM feed_entries WHERE feed_id = ? AND key = ?");
    if (byKey.Bind(1, feedId).Bind(2, key).Step()) {
        return byKey.Int64(0);
    }
    if (!byKey.Finished()) {
        return std::nullopt;
    }
    if (!link.empty()) {
        Statement byLink(db, "SELECT item_id FROM item_links WHERE link = ? LIMIT 1");
        if (byLink.Bind(1, link).Step()) {
            return byLink.Int64(0);
        }
        if (!byLink.Finished()) {
            return std::nullopt;
        }
    }
    Statement repost(db, "SELECT item_id FROM item_links WHERE repost_key = ? AND taken >= ? LIMIT 1");
    if (repost.Bind(1, RepostKey(item)).Bind(2, now - FeedIngest::kRepostWindow).Step()) {
        return repost.Int64(0);
    }
    return repost.Finished() ? std::optional<std::int64_t>(0) : std::nullopt;
}

bool Remember(sqlite3* db, std::int64_t feedId, const std::string& key, std::int64_t itemId)
{
    Statement entry(db, "INSERT OR IGNORE INTO feed_entries (feed_id, key, item_id) VALUES (?, ?, ?)");
    return entry.Bind(1, feedId).Bind(2, key).Bind(3, itemId).Done();
}

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
            // Feeds list the newest first: taken from the end, the oldest entry gets the lowest id.
            for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
                const std::string key = FeedItemTexts::Key(*entry);
                ServerItem item = ItemOf(feed, *entry, stores);
                std::optional<std::int64_t> known = KnownItem(db, feed.id, key, entry->link, item, now);
                if (!known) {
                    return false;
                }
                if (*known == 0 && !item.title.empty()) {
                    if (!insert(item, failure)) {
                        return false;
                    }
                    // Kept with an empty link too: the time taken finds reposts.
                    Statement link(
                        db, "INSERT INTO item_links (item_id, link, taken, repost_key) VALUES (?, ?, ?, ?)");
                    if (!link.Bind(1, item.id)
                             .Bind(2, entry->link)
                             .Bind(3, now)
                             .Bind(4, RepostKey(item))
                             .Done()) {
                        return false;
                    }
                    known = item.id;
                    taken.push_back(std::move(item));
                }
                // An entry without a title is remembered too, so it is not looked at again.
                if (!Remember(db, feed.id, key, *known)) {
                    return false;
                }
            }
            return true;
        },
        error);
    return ok ? std::optional(std::move(taken)) : std::nullopt;
}

} // namespace tallyhawk::server
