#pragma once

#include "server/item_store.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tallyhawk::server
{

class PgConnection;

// The service's items in a PostgreSQL database, which several instances of the service share. Each
// call takes a connection of a small pool; work that one instance alone must do is leased with an
// advisory lock held by a connection of its own, so a holder that dies lets go at once.
// The schema is a list of numbered migrations, recorded in schema_migrations as they are applied.
class PgItemStore : public ItemStore
{
public:
    static constexpr std::size_t kMostConnections = 4;

    ~PgItemStore() override;
    // Connected and migrated, or nothing with `error` set.
    static std::unique_ptr<PgItemStore> Connect(const std::string& uri, std::string& error);

    std::optional<std::string> Check() override;
    bool FileReplaced() override { return false; }
    std::optional<std::string> Reopen() override { return std::nullopt; }
    std::string notice() override { return {}; }

    std::optional<ServerItem> Post(ServerItem item, std::string* error = nullptr) override;
    bool PostAll(std::vector<ServerItem>& items, std::string* error = nullptr) override;
    std::optional<std::vector<ServerItem>> ItemsAfter(std::int32_t kind,
                                                      std::int32_t afterId,
                                                      std::int32_t limit,
                                                      std::string* error = nullptr) override;
    std::optional<ServerItem> Find(std::int32_t id, std::string* error = nullptr) override;
    std::optional<std::int32_t> ItemCount(std::string* error = nullptr) override;
    std::optional<std::int32_t> AddStore(const std::string& name, std::string* error = nullptr) override;
    std::optional<std::int32_t> AddCategory(const std::string& name, std::string* error = nullptr) override;
    std::optional<std::vector<NamedEntry>> StoresAfter(std::int32_t afterId,
                                                       std::string* error = nullptr) override;
    std::optional<std::vector<NamedEntry>> CategoriesAfter(std::int32_t afterId,
                                                           std::string* error = nullptr) override;
    std::optional<std::string> LinkOf(std::int32_t id) override;

    std::optional<std::int64_t> AddFeed(const FeedSubscription& feed, std::string* error) override;
    std::optional<std::vector<FeedSubscription>>
    SelectFeeds(FeedFilter filter, std::int64_t argument, std::string* error) override;
    bool RemoveFeed(std::int64_t id, std::string* error) override;
    bool SaveFetch(const FeedSubscription& feed, std::string* error) override;
    bool TakeFeedEntries(const FeedWork& work, std::string* error) override;
    std::unique_ptr<StoreLease> TryLease(std::int32_t name, std::int32_t id) override;

private:
    class Lease;
    using Work = std::function<bool(PgConnection& connection, std::string& error)>;

    explicit PgItemStore(std::string uri);
    std::optional<std::string> Migrate();
    // Runs `work` on a connection of the pool; false with `error` set when it failed.
    bool WithConnection(const Work& work, std::string* error);
    // Runs `work` in one transaction, committed when it returns true.
    bool InTransaction(const Work& work, std::string* error);
    // A transaction that adds items: see the reason at its definition.
    bool PostingTransaction(const Work& work, std::string* error);
    std::unique_ptr<PgConnection> Take(std::string& error);
    void Give(std::unique_ptr<PgConnection> connection);
    std::optional<std::int32_t> AddNamed(const char* table, const std::string& name, std::string* error);
    std::optional<std::vector<NamedEntry>>
    NamedAfter(const char* table, std::int32_t afterId, std::string* error);
    void Release(std::pair<std::int32_t, std::int32_t> key, std::uint64_t generation);
    bool LeaseHeld(std::uint64_t generation);

    std::string uri_;
    std::mutex poolMutex_;
    std::condition_variable poolFree_;
    std::vector<std::unique_ptr<PgConnection>> idle_;
    std::size_t open_ = 0;

    std::mutex leaseMutex_;
    std::unique_ptr<PgConnection> leaseConnection_;
    // Counts the lease connections made: a lease taken on an older one was lost with it.
    std::uint64_t leaseGeneration_ = 0;
    std::set<std::pair<std::int32_t, std::int32_t>> held_;
};

} // namespace tallyhawk::server
