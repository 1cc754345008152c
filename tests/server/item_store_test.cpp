// The store's behaviour, the same on an SQLite file and on a PostgreSQL database.
#include "pg_test_database.h"
#include "server/feed_ingest.h"
#include "server/feed_subscriptions.h"
#include "server/item_store.h"
#include "server/pg_connection.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <ostream>

namespace tallyhawk::server
{
namespace
{

ServerItem Item(std::int32_t kind, std::string title, std::string store = "Corner Shop")
{
    ServerItem item;
    item.kind = kind;
    item.title = std::move(title);
    item.storeName = std::move(store);
    item.categoryName = "Garden";
    return item;
}

FeedEntry Entry(const std::string& id, const std::string& title, const std::string& link)
{
    FeedEntry entry;
    entry.id = id;
    entry.title.text = title;
    entry.link = link;
    return entry;
}

enum class Kind
{
    Sqlite,
    Postgres,
};

void PrintTo(Kind kind, std::ostream* out)
{
    *out << (kind == Kind::Sqlite ? "SQLite" : "PostgreSQL");
}

class ItemStoreTest : public ::testing::TestWithParam<Kind>
{
protected:
    void SetUp() override
    {
        if (GetParam() == Kind::Postgres) {
            TALLYHAWK_NEEDS_POSTGRES();
            database = std::make_unique<test::PgTestDatabase>();
            ASSERT_FALSE(database->uri().empty()) << database->error();
        }
        items = Open();
        ASSERT_TRUE(items);
    }
    std::unique_ptr<ItemStore> Open()
    {
        std::string error;
        std::unique_ptr<ItemStore> store
            = ItemStore::Open(database ? database->uri() : dir.File("items.db"), error);
        EXPECT_TRUE(store) << error;
        return store;
    }
    // Runs `sql` on the store's database as another program would.
    void RunOutside(const std::string& sql)
    {
        if (database) {
            std::string error;
            std::unique_ptr<PgConnection> connection = PgConnection::Connect(database->uri(), error);
            ASSERT_TRUE(connection) << error;
            EXPECT_EQ(connection->Execute(sql), std::nullopt);
            return;
        }
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(dir.File("items.db").c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    std::vector<std::int32_t> IdsOf(std::int32_t kind)
    {
        std::vector<std::int32_t> ids;
        const std::vector<ServerItem> read = items->ItemsAfter(kind, 0, 1000).value();
        for (const ServerItem& item : read) {
            ids.push_back(item.id);
        }
        return ids;
    }

    test::TempDir dir;
    std::unique_ptr<test::PgTestDatabase> database;
    std::unique_ptr<ItemStore> items;
};

TEST_P(ItemStoreTest, IdsAreOneSequenceOverEveryKindAndNamesBecomeListEntries)
{
    const ServerItem deal = items->Post(Item(2, "Mower")).value();
    const ServerItem coupon = items->Post(Item(1, "10% off", "Hardware Hall")).value();
    const ServerItem topic = items->Post(Item(3, "Best mower?")).value();
    EXPECT_EQ(deal.id, 1);
    EXPECT_EQ(coupon.id, 2);
    EXPECT_EQ(topic.id, 3);
    EXPECT_EQ(deal.storeId, topic.storeId);
    EXPECT_NE(deal.storeId, coupon.storeId);
    EXPECT_EQ(IdsOf(2), std::vector<std::int32_t>{1});
    EXPECT_EQ(IdsOf(3), std::vector<std::int32_t>{3});
    const std::vector<NamedEntry> stores = items->StoresAfter(0).value();
    ASSERT_EQ(stores.size(), 2u);
    EXPECT_EQ(stores[1].name, "Hardware Hall");
    EXPECT_EQ(items->AddStore("Hardware Hall"), stores[1].id);
    EXPECT_EQ(items->CategoriesAfter(0).value().size(), 1u);
    EXPECT_EQ(items->ItemCount(), 3);
}

TEST_P(ItemStoreTest, AnItemNoClientWouldKeepIsRefusedWithItsReason)
{
    struct Case
    {
        ServerItem item;
        std::string reason;
    };
    ServerItem noCategory = Item(2, "Mower");
    noCategory.categoryName.clear();
    const Case cases[] = {
        {Item(0, "Mower"), "the kind must be"},
        {Item(2, ""), "needs a title"},
        {noCategory, "needs a category"},
    };
    for (const Case& refused : cases) {
        std::string error;
        EXPECT_FALSE(items->Post(refused.item, &error)) << refused.reason;
        EXPECT_NE(error.find(refused.reason), std::string::npos) << error;
    }
    EXPECT_EQ(items->ItemCount(), 0);
}

TEST_P(ItemStoreTest, TextsComeBackByteForByteAndCutToWhatAClientKeeps)
{
    // Not UTF-8: the store keeps bytes, whatever their encoding.
    const std::string latin1 = "Caf\xe9 cr\xe8me \xff";
    items->Post(Item(2, latin1, std::string(80, 's')));
    items->Post(Item(2, std::string(300, 't')));
    const std::vector<ServerItem> read = items->ItemsAfter(2, 0, 10).value();
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].title, latin1);
    EXPECT_EQ(read[0].storeName.size(), 49u);
    EXPECT_EQ(read[1].title, std::string(49, 't'));
    EXPECT_EQ(items->Find(read[0].id).value().title, latin1);
}

TEST_P(ItemStoreTest, PostAllStoresEveryItemOrNone)
{
    std::vector<ServerItem> batch = {Item(2, "Mower"), Item(2, "")};
    std::string error;
    EXPECT_FALSE(items->PostAll(batch, &error));
    EXPECT_EQ(items->ItemCount(), 0);
    batch.back().title = "Trimmer";
    ASSERT_TRUE(items->PostAll(batch, &error)) << error;
    EXPECT_LT(batch[0].id, batch[1].id);
    EXPECT_EQ(items->ItemCount(), 2);
}

TEST_P(ItemStoreTest, ItemsAfterGivesTheLowestIdsFirstUpToTheLimit)
{
    for (int i = 0; i < 5; ++i) {
        items->Post(Item(2, "Deal " + std::to_string(i)));
    }
    const std::vector<ServerItem> page = items->ItemsAfter(2, 2, 2).value();
    ASSERT_EQ(page.size(), 2u);
    EXPECT_EQ(page[0].id, 3);
    EXPECT_EQ(page[1].id, 4);
    std::string error = "untouched";
    EXPECT_FALSE(items->Find(99, &error));
    EXPECT_EQ(error, "untouched");
}

TEST_P(ItemStoreTest, FeedsAreKeptFoundWhenDueAndRemoved)
{
    FeedSubscriptions feeds(*items);
    FeedSubscription feed;
    feed.url = "http://127.0.0.1:1/a.atom";
    feed.title = "A";
    feed.nextFetch = 100;
    const std::int64_t first = feeds.Add(feed).value();
    feed.url = "http://127.0.0.1:1/b.atom";
    feed.nextFetch = 300;
    const std::int64_t second = feeds.Add(feed).value();
    ASSERT_EQ(feeds.Due(200).value().size(), 1u);
    EXPECT_EQ(feeds.Due(200).value()[0].id, first);

    FeedSubscription fetched = feeds.Find(second).value();
    fetched.etag = "\"e1\"";
    fetched.lastResult = "2 new entries";
    fetched.nextFetch = 900;
    fetched.failures = 1;
    fetched.taken = 2;
    ASSERT_TRUE(feeds.SaveFetch(fetched));
    const FeedSubscription saved = feeds.Find(second).value();
    EXPECT_EQ(saved.etag, "\"e1\"");
    EXPECT_EQ(saved.lastResult, "2 new entries");
    EXPECT_EQ(saved.nextFetch, 900);
    EXPECT_EQ(saved.taken, 2);

    EXPECT_TRUE(feeds.Remove(first));
    EXPECT_FALSE(feeds.Remove(first));
    EXPECT_EQ(feeds.All().value().size(), 1u);
}

TEST_P(ItemStoreTest, AFeedsEntriesAreTakenOnceAndALinkFromAnotherFeedMakesNoSecondItem)
{
    FeedSubscription feed;
    feed.url = "http://127.0.0.1:1/a.atom";
    feed.store = "Tool Shed";
    feed.id = FeedSubscriptions(*items).Add(feed).value();
    const std::deque<FeedEntry> entries
        = {Entry("urn:2", "Saw", "http://shop.test/saw"), Entry("urn:1", "Drill", "http://shop.test/drill")};
    std::string error;
    const auto taken = FeedIngest::Take(*items, feed, entries, 1000, &error);
    ASSERT_TRUE(taken) << error;
    ASSERT_EQ(taken->size(), 2u);
    EXPECT_EQ(taken->front().title, "Drill"); // the oldest, last in the feed, first
    EXPECT_EQ(FeedIngest::Take(*items, feed, entries, 2000)->size(), 0u);

    FeedSubscription other = feed;
    other.url = "http://127.0.0.1:1/b.atom";
    other.id = FeedSubscriptions(*items).Add(other).value();
    EXPECT_EQ(
        FeedIngest::Take(*items, other, {Entry("x", "Saw again", "http://shop.test/saw")}, 3000)->size(), 0u);
    EXPECT_EQ(items->LinkOf(taken->front().id), "http://shop.test/drill");
    EXPECT_EQ(items->ItemCount(), 2);
}

TEST_P(ItemStoreTest, OpeningAgainKeepsTheItemsAndGoesOnWithTheIds)
{
    items->Post(Item(2, "Mower"));
    std::unique_ptr<ItemStore> again = Open();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->ItemCount(), 1);
    EXPECT_EQ(again->Post(Item(2, "Trimmer")).value().id, 2);
    EXPECT_EQ(again->Check(), std::nullopt);
}

TEST_P(ItemStoreTest, TheMigrationsAppliedAreRecordedAndADatabaseOfANewerSchemaIsRefused)
{
    items.reset();
    RunOutside(database ? "INSERT INTO schema_migrations (version) VALUES (99)" : "PRAGMA user_version = 99");
    std::string error;
    EXPECT_FALSE(ItemStore::Open(database ? database->uri() : dir.File("items.db"), error));
    EXPECT_NE(error.find("newer tallyhawk-server (schema 99, this one knows 1)"), std::string::npos) << error;
}

TEST(ItemStoreOpen, OnlyAPostgresqlUriIsADatabaseServerAndOneThatCannotBeReachedSaysSo)
{
    test::TempDir dir;
    std::string error;
    // Anything else is an SQLite file, whatever it looks like.
    EXPECT_TRUE(ItemStore::Open(dir.File("postgres:"), error)) << error;
    EXPECT_TRUE(std::filesystem::exists(dir.File("postgres:")));
    for (const std::string uri : {"postgresql://tallyhawk@127.0.0.1:1/none", "postgresql://[nowhere"}) {
        error.clear();
        EXPECT_FALSE(ItemStore::Open(uri, error)) << uri;
        EXPECT_NE(error.find("cannot connect to the database"), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(Stores,
                         ItemStoreTest,
                         ::testing::Values(Kind::Sqlite, Kind::Postgres),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             return info.param == Kind::Sqlite ? "Sqlite" : "Postgres";
                         });

} // namespace
} // namespace tallyhawk::server
