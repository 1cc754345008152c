#include "server/feed_ingest.h"

#include "core/common/byte_text.h"
#include "server/client_fields.h"
#include "server/feed_store_name.h"
#include "server/feeds/feed_coupon_code.h"
#include "server/feeds/feed_item_texts.h"
#include "server/item_store.h"

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

std::optional<std::deque<ServerItem>> FeedIngest::Take(ItemStore& items,
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
    const bool ok = items.TakeFeedEntries(
        [&](FeedEntryTables& tables, std::string& failure) {
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
                    = tables.KnownItem(feed.id, key, entry.link, repostKey, now - kRepostWindow);
                if (!known) {
                    return false;
                }
                if (*known == 0 && !item.title.empty()) {
                    const std::string names = item.storeName + '\n' + item.categoryName;
                    if (auto known = listIds.find(names); known != listIds.end()) {
                        std::tie(item.storeId, item.categoryId) = known->second;
                    }
                    if (!tables.Insert(item, failure) || !tables.Link(item.id, entry.link, repostKey, now)) {
                        return false;
                    }
                    listIds[names] = {item.storeId, item.categoryId};
                    known = item.id;
                    taken.push_back(std::move(item));
                }
                // An entry without a title is remembered too, so it is not looked at again.
                if (!tables.Remember(feed.id, key, *known)) {
                    return false;
                }
            }
            return true;
        },
        error);
    return ok ? std::optional(std::move(taken)) : std::nullopt;
}

} // namespace tallyhawk::server
