#include "server/feed_ingest.h"

#include "core/common/byte_text.h"
#include "server/client_fields.h"
#include "server/feed_store_name.h"
#include "server/feeds/feed_coupon_code.h"
#include "server/feeds/feed_item_texts.h"
#include "server/item_database.h"
#include "server/sqlite_statement.h"

#include <limits>
#include <map>
#include <tuple>

namespace tallyhawk::server
{

namespace
{

// Items of one kind with the same title and store, as a client would keep them, share this key.
std::string RepostKey(const ServerItem& item)
{
    const std::string_view title = FitText(item.title, ClientFields::kTitleBytes);
    const std::string_view store = FitText(item.storeName, ClientFields::kStoreNameBytes);
    std::string key = std::to_string(item.kind);
    key.reserve(key.size() + title.size() + store.size() + 2);
    key.append(1, '\n').append(title).append(1, '\n').append(store);
    return key;
}

// The statements of one Take, prepared once for all its entries. Each binds every value anew, the texts
// uncopied: they live until the step is over.
class IngestStatements
{
public:
    explicit IngestStatements(sqlite3* db)
        // One statement for the three looks, each by its own index: a step each would cost as much as
        // the looking. An entry remembered without an item (it had no title) counts as not known.
        : known_(db,
                 "SELECT COALESCE("
                 "NULLIF((SELECT item_id FROM feed_entries WHERE feed_id = ?1 AND key = ?2), 0), "
                 "(SELECT item_id FROM item_links WHERE ?3 <> '' AND link = ?3 LIMIT 1), "
                 "(SELECT item_id FROM item_links WHERE repost_key = ?4 AND taken >= ?5 LIMIT 1), 0)")
        , link_(db, "INSERT INTO item_links (item_id, link, taken, repost_key) VALUES (?, ?, ?, ?)")
        , remember_(db, "INSERT OR IGNORE INTO feed_entries (feed_id, key, item_id) VALUES (?, ?, ?)")
    { }

    // The item an earlier entry already made, by this feed's key, by its link from any feed, or by
    // its title and store (`repostKey`) within the repost window; 0 when none. Nothing when the
    // database failed.
    std::optional<std::int64_t> KnownItem(std::int64_t feedId,
                                          const std::string& key,
                                          const std::string& link,
                                          const std::string& repostKey,
                                          std::int64_t now)
    {
        known_.Rewind()
            .Bind(1, feedId)
            .BindUncopied(2, key)
            .BindUncopied(3, link)
            .BindUncopied(4, repostKey)
            .Bind(5, now - FeedIngest::kRepostWindow);
        if (!known_.Step()) {
            return std::nullopt;
        }
        return known_.Int64(0);
    }
    // Kept with an empty link too: the time taken finds reposts.
    bool Link(std::int64_t itemId, const std::string& link, const std::string& repostKey, std::int64_t now)
    {
        return link_.Rewind()
            .Bind(1, itemId)
            .BindUncopied(2, link)
            .Bind(3, now)
            .BindUncopied(4, repostKey)
            .Done();
    }
    bool Remember(std::int64_t feedId, const std::string& key, std::int64_t itemId)
    {
        return remember_.Rewind().Bind(1, feedId).BindUncopied(2, key).Bind(3, itemId).Done();
    }

private:
    Statement known_;
    Statement link_;
    Statement remember_;
};

// While a feed is taken the database holds few pages in memory: the pages beyond them go to the
// write-ahead log early (and are read back from it when needed) rather than a feed of thousands of entries
// holding its whole write in memory. The connection's own size comes back after. The pages on the way down
// each of the seven trees an entry writes must stay: below some 20 pages taking a feed takes nearly twice
// as long, so 384 KiB (48 pages of 8 KiB, 96 of an older file's 4 KiB) leaves room for deeper trees. More
// pays only once the whole write fits (some megabytes for thousands of entries): up to the 2 MB the
// connection keeps otherwise, taking a feed takes the same time.
class SmallPageCache
{
public:
    static constexpr int kKibibytes = 384;

    explicit SmallPageCache(sqlite3* db)
        : db_(db)
    {
        Statement size(db_, "PRAGMA cache_size");
        if (size.Step()) {
            previous_ = size.Int64(0);
            Set(-kKibibytes);
        }
    }
    ~SmallPageCache()
    {
        if (previous_) {
            Set(*previous_);
        }
    }
    SmallPageCache(const SmallPageCache&) = delete;
    SmallPageCache& operator=(const SmallPageCache&) = delete;

private:
    void Set(std::int64_t size) { Statement(db_, "PRAGMA cache_size = " + std::to_string(size)).Done(); }

    sqlite3* db_;
    std::optional<std::int64_t> previous_;
};

// The item an entry becomes, with the store it is taken for.
ServerItem ItemNamed(const FeedSubscription& feed, const FeedEntry& entry, std::string storeName)
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
    item.storeName = std::move(storeName);
    item.categoryName = !feed.category.empty() ? feed.category : FeedIngest::kDefaultCategory;
    return item;
}

// The store the links of each host name, worked out once per fetch: naming it compares the host with
// every store known.
class StoresByHost
{
public:
    explicit StoresByHost(const std::vector<std::string>& stores)
        : stores_(stores)
    { }

    const std::string& For(const std::string& link)
    {
        std::string host = FeedStoreName::Host(link);
        auto known = names_.find(host);
        if (known == names_.end()) {
            known = names_.emplace(std::move(host), FeedStoreName::ForLink(link, stores_)).first;
        }
        return known->second;
    }

private:
    const std::vector<std::string>& stores_;
    std::map<std::string, std::string> names_;
};

} // namespace

ServerItem FeedIngest::ItemOf(const FeedSubscription& feed,
                              const FeedEntry& entry,
                              const std::vector<std::string>& stores)
{
    return ItemNamed(
        feed, entry, !feed.store.empty() ? feed.store : FeedStoreName::ForLink(entry.link, stores));
}

std::int32_t FeedIngest::DateOf(const FeedEntry& entry, std::int64_t now)
{
    if (!entry.expires || *entry.expires <= now
        || *entry.expires > std::numeric_limits<std::int32_t>::max()) {
        return 0;
    }
    return static_cast<std::int32_t>(*entry.expires);
}

std::optional<std::deque<ServerItem>> FeedIngest::Take(ItemDatabase& items,
                                                       const FeedSubscription& feed,
                                                       std::deque<FeedEntry> entries,
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
    std::deque<ServerItem> taken;
    // The commit stays synchronous (no "synchronous=NORMAL" for the sake of speed): clients are sent the
    // new ids as soon as it returns, and a commit lost to a power cut would give those ids to other
    // items, which clients that hold them would never fetch.
    const bool ok = items.Transaction(
        [&](sqlite3* db, const ItemDatabase::InsertItem& insert, std::string& failure) {
            const SmallPageCache smallCache(db);
            IngestStatements statements(db);
            // The list ids of the names met so far, so that each is looked up once per fetch.
            std::map<std::string, std::pair<std::int32_t, std::int32_t>> listIds;
            StoresByHost storesByHost(stores);
            // Feeds list the newest first: taken from the end, the oldest entry gets the lowest id.
            while (!entries.empty()) {
                const FeedEntry entry = std::move(entries.back());
                entries.pop_back();
                const std::string key = FeedItemTexts::Key(entry);
                ServerItem item
                    = ItemNamed(feed, entry, !feed.store.empty() ? feed.store : storesByHost.For(entry.link));
                item.date = DateOf(entry, now);
                const std::string repostKey = RepostKey(item);
                std::optional<std::int64_t> known
                    = statements.KnownItem(feed.id, key, entry.link, repostKey, now);
                if (!known) {
                    return false;
                }
                if (*known == 0 && !item.title.empty()) {
                    const std::string names = item.storeName + '\n' + item.categoryName;
                    if (auto known = listIds.find(names); known != listIds.end()) {
                        std::tie(item.storeId, item.categoryId) = known->second;
                    }
                    if (!insert(item, failure) || !statements.Link(item.id, entry.link, repostKey, now)) {
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
