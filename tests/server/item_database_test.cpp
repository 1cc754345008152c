#include "core/compare/agent_configuration.h"
#include "core/compare/result_scraper.h"
#include "core/store/id_name_list.h"
#include "core/update/list_updater.h"
#include "server/demo_catalogue.h"
#include "server/demo_shops.h"
#include "server/item_database.h"
#include "server/item_input.h"
#include "server/request_answer.h"
#include "server/site_pages.h"
#include "server_test_files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <filesystem>

namespace tallyhawk::server
{
namespace
{

TEST(ItemDatabase, NamesBecomeListEntriesAndIdsOneSequence)
{
    test::TempDir dir;
    {
        ItemDatabase items;
        ASSERT_EQ(items.Open(dir.File("service.db")), std::nullopt);
        ServerItem item;
        item.kind = 2;
        item.title = "Mower";
        item.storeName = "Corner Shop";
        item.categoryName = "Garden";
        std::optional<ServerItem> posted = items.Post(item);
        ASSERT_TRUE(posted);
        EXPECT_EQ(posted->id, 1);
        EXPECT_EQ(posted->storeId, 1);
        EXPECT_EQ(items.AddStore("Corner Shop"), 1);
        EXPECT_EQ(items.AddStore("Harbor"), 2);
        item.kind = 1;
        item.storeName.clear();
        item.storeId = 2;
        posted = items.Post(item);
        EXPECT_EQ(posted->id, 2);
        EXPECT_EQ(posted->storeName, "Harbor");
        std::string error;
        item.kind = 7;
        EXPECT_FALSE(items.Post(item, &error));
        EXPECT_FALSE(error.empty());
    }
    // Kept in the file: a restarted server goes on with the next id.
    ItemDatabase again;
    ASSERT_EQ(again.Open(dir.File("service.db")), std::nullopt);
    ServerItem topic;
    topic.kind = 3;
    topic.title = "Rakes";
    topic.categoryId = 1;
    EXPECT_EQ(again.Post(topic)->id, 3);
    EXPECT_EQ(again.ItemsAfter(1, 0, 10)->size(), 1u);
}

TEST(ItemDatabase, ServiceListIdsStayBelowTheClientsOwn)
{
    ItemDatabase items;
    ASSERT_EQ(items.Open(":memory:"), std::nullopt);
    for (int i = 1; i <= ItemDatabase::kHighestServiceId; ++i) {
        ASSERT_EQ(items.AddCategory("Category " + std::to_string(i)), i);
    }
    EXPECT_EQ(items.AddCategory("One too many"), std::nullopt);
    EXPECT_EQ(items.AddCategory(""), std::nullopt);
}

ServerItem Deal(std::string title, std::string category = "Garden")
{
    ServerItem item;
    item.kind = 2;
    item.title = std::move(title);
    item.categoryName = std::move(category);
    return item;
}

// Removes a database file with its log, as a person cleaning up would.
void RemoveDatabase(const std::string& path)
{
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(path + suffix);
    }
}

TEST(ItemDatabase, AnItemWithoutACategoryIsRefused)
{
    ItemDatabase items;
    ASSERT_EQ(items.Open(":memory:"), std::nullopt);
    std::string error;
    EXPECT_FALSE(items.Post(Deal("Mower", ""), &error));
    EXPECT_NE(error.find("category"), std::string::npos) << error;
    ServerItem known = Deal("Mower", "");
    known.categoryId = *items.AddCategory("Garden");
    EXPECT_TRUE(items.Post(known));
    EXPECT_EQ(items.ItemCount(), 1);
}

TEST(ItemDatabase, TextsAreCutToWhatAClientKeeps)
{
    test::TempDir dir;
    const std::string path = dir.File("service.db");
    ItemDatabase items;
    ASSERT_EQ(items.Open(path), std::nullopt);
    ServerItem big = Deal(std::string(60, 't'), std::string(70, 'c'));
    big.description = std::string(1 << 20, 'd');
    // Two-byte characters over the cut: the last one that does not fit whole is left out.
    big.extra = std::string(48, 'e') + "\xc3\xa9\xc3\xa9";
    big.storeName = std::string(80, 's');
    std::optional<ServerItem> posted = items.Post(big);
    ASSERT_TRUE(posted);
    test::ServerTestFiles::AddUncutDeal(
        path, std::string(20, '-') + std::string(20, '\xe2') + "\x82\xac", 3 << 20);

    std::optional<std::vector<ServerItem>> stored = items.ItemsAfter(2, 0, 10);
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->size(), 2u);
    const ServerItem& first = (*stored)[0];
    EXPECT_EQ(first.title, std::string(49, 't'));
    EXPECT_EQ(first.description, std::string(249, 'd'));
    EXPECT_EQ(first.extra, std::string(48, 'e'));
    EXPECT_EQ(first.storeName, std::string(49, 's'));
    EXPECT_EQ(first.categoryName, std::string(49, 'c'));
    EXPECT_EQ(items.AddCategory(std::string(70, 'c')), first.categoryId) << "the list keeps the cut name";
    // Stored uncut before: read only as far as a client keeps it.
    EXPECT_EQ((*stored)[1].description, std::string(249, 'x'));
    EXPECT_EQ((*stored)[1].title, std::string(20, '-') + std::string(20, '\xe2') + "\x82\xac");
}

TEST(ItemDatabase, IdsGoOnAboveTheHighestGivenOutWhenTheFileIsReplaced)
{
    test::TempDir dir;
    const std::string path = dir.File("service.db");
    {
        ItemDatabase items;
        ASSERT_EQ(items.Open(path), std::nullopt);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(items.Post(Deal("Deal")));
        }
    }
    RemoveDatabase(path);
    ItemDatabase fresh;
    ASSERT_EQ(fresh.Open(path), std::nullopt);
    EXPECT_NE(fresh.notice().find("after 3"), std::string::npos) << fresh.notice();
    EXPECT_EQ(fresh.Post(Deal("Deal"))->id, 4);
}

TEST(ItemDatabase, AnOlderCopyPutInPlaceGoesOnAboveTheHighestIdToo)
{
    test::TempDir dir;
    const std::string path = dir.File("service.db");
    {
        ItemDatabase items;
        ASSERT_EQ(items.Open(path), std::nullopt);
        ASSERT_TRUE(items.Post(Deal("Deal")));
    }
    std::filesystem::copy_file(path, dir.File("backup.db"));
    {
        ItemDatabase items;
        ASSERT_EQ(items.Open(path), std::nullopt);
        ASSERT_TRUE(items.Post(Deal("Deal")));
        ASSERT_TRUE(items.Post(Deal("Deal")));
    }
    RemoveDatabase(path);
    std::filesystem::rename(dir.File("backup.db"), path);
    ItemDatabase restored;
    ASSERT_EQ(restored.Open(path), std::nullopt);
    EXPECT_EQ(restored.Post(Deal("Deal"))->id, 4);
}

TEST(ItemDatabase, AFileRemovedOrReplacedUnderItIsNoticedAndReopened)
{
    test::TempDir dir;
    const std::string path = dir.File("service.db");
    ItemDatabase serving;
    ASSERT_EQ(serving.Open(path), std::nullopt);
    ASSERT_TRUE(serving.Post(Deal("First")));
    EXPECT_FALSE(serving.FileReplaced());
    RemoveDatabase(path);
    EXPECT_TRUE(serving.FileReplaced());
    {
        ItemDatabase poster;
        ASSERT_EQ(poster.Open(path), std::nullopt);
        EXPECT_EQ(poster.Post(Deal("Second"))->id, 2);
    }
    ASSERT_EQ(serving.Reopen(), std::nullopt);
    EXPECT_FALSE(serving.FileReplaced());
    std::optional<std::vector<ServerItem>> items = serving.ItemsAfter(2, 1, 10);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 1u);
    EXPECT_EQ(items->front().title, "Second");
}

TEST(ItemDatabase, AWriteWaitsABoundedTimeForAnotherProgramsLockThenSaysItIsBusy)
{
    test::TempDir dir;
    const std::string path = dir.File("service.db");
    ItemDatabase items;
    ASSERT_EQ(items.Open(path, std::chrono::milliseconds(200)), std::nullopt);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::string error;
    EXPECT_FALSE(items.Post(Deal("Mower"), &error));
    EXPECT_NE(error.find("busy"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(items.AddStore("Harbor", &error));
    EXPECT_NE(error.find("busy"), std::string::npos) << error;
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(items.Post(Deal("Mower")));
}

TEST(ItemDatabase, ADamagedPageIsAFailureNotFewerItems)
{
    test::TempDir dir;
    const std::string path = dir.File("service.db");
    test::ServerTestFiles::WriteDamaged(path);
    ItemDatabase items;
    ASSERT_EQ(items.Open(path), std::nullopt);
    EXPECT_NE(items.Check(), std::nullopt);
    std::string error;
    EXPECT_EQ(items.ItemsAfter(2, 0, 500, &error), std::nullopt);
    EXPECT_FALSE(error.empty());
    RequestAnswer answer(items, "32");
    const std::vector<char> reply = answer.Answer({'1', '0', '0', '6', '0', '<', '~', '>'});
    EXPECT_EQ(std::string(reply.begin(), reply.end()), "90021006<~>5<~>");
}

TEST(ItemDatabase, ASoundFilePassesTheCheck)
{
    test::TempDir dir;
    ItemDatabase items;
    ASSERT_EQ(items.Open(dir.File("service.db")), std::nullopt);
    ASSERT_TRUE(items.Post(Deal("Mower")));
    EXPECT_EQ(items.Check(), std::nullopt);
}

TEST(ItemDatabase, AFileMadeWithSmallerPagesKeepsThemAndTakesItems)
{
    test::TempDir dir;
    const std::string path = dir.File("service.db");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(db,
                     "PRAGMA page_size=4096; PRAGMA journal_mode=WAL; CREATE TABLE earlier (x INTEGER);",
                     nullptr,
                     nullptr,
                     nullptr),
        SQLITE_OK);
    sqlite3_close(db);
    ItemDatabase items;
    ASSERT_EQ(items.Open(path), std::nullopt);
    ASSERT_TRUE(items.Post(Deal("Mower")));
    EXPECT_EQ(items.Check(), std::nullopt);
    std::int64_t pageSize = 0;
    ASSERT_TRUE(items.Read([&pageSize](sqlite3* open, std::string&) {
        sqlite3_stmt* size = nullptr;
        sqlite3_prepare_v2(open, "PRAGMA page_size", -1, &size, nullptr);
        const bool read = sqlite3_step(size) == SQLITE_ROW;
        pageSize = read ? sqlite3_column_int64(size, 0) : 0;
        sqlite3_finalize(size);
        return read;
    }));
    EXPECT_EQ(pageSize, 4096);
}

TEST(ItemDatabase, AFileThatIsNoDatabaseIsReported)
{
    test::TempDir dir;
    test::WriteFileBytes(dir.File("junk.db"), std::string(4096, 'x'));
    ItemDatabase items;
    EXPECT_NE(items.Open(dir.File("junk.db")), std::nullopt);
}

TEST(SitePages, TheUpdateAnswerMergesAsTheProgramReadsIt)
{
    std::vector<NamedEntry> entries = {{3, "Corner Shop"}, {4, "Tricky <NM> name"}, {5, "Z"}, {6, "Harbor"}};
    IdNameList list;
    MergeUpdateText(list, SitePages::UpdateAnswer(entries));
    EXPECT_EQ(list.Find(3)->name, "Corner Shop");
    EXPECT_FALSE(list.Find(4)); // would end its entry early: left out
    EXPECT_FALSE(list.Find(5)); // one letter: the program skips it
    EXPECT_EQ(list.Find(6)->name, "Harbor");
    EXPECT_EQ(SitePages::IndexArgument("12"), 12);
    for (const char* bad : {"", "-3", "7x", "99999999999"}) {
        EXPECT_EQ(SitePages::IndexArgument(bad), 0) << bad;
    }
}

TEST(ItemInput, JsonLinesAndDates)
{
    std::string error;
    std::optional<ServerItem> item = ItemInput::FromJson(
        R"({"kind":"deal","title":"Kettle","store":"Bluebird","category":"Kitchen","date":"2026-12-24","hot":true,"extra":"$20"})",
        error);
    ASSERT_TRUE(item) << error;
    EXPECT_EQ(item->kind, 2);
    EXPECT_EQ(item->date, 1798070400);
    EXPECT_EQ(item->hot, 1);
    EXPECT_EQ(item->storeName, "Bluebird");
    for (const char* bad : {R"({"title":"No kind"})",
                            R"({"kind":"deal"})",
                            R"({"kind":"sale","title":"x"})",
                            R"({"kind":2,"title":"x","date":"24.12.2026"})",
                            "[1,2]",
                            "{not json"}) {
        EXPECT_FALSE(ItemInput::FromJson(bad, error)) << bad;
    }
    EXPECT_EQ(ItemInput::Date("0"), 0);
    EXPECT_EQ(ItemInput::Date("2026-02-30x"), std::nullopt);
}

TEST(DemoShops, ResultPagesHoldTheProductsWithEveryWord)
{
    DemoShops shops;
    const std::string page = shops.ResultPage("copperline", "tv aurora");
    EXPECT_NE(page.find("Aurora 43 inch LED TV"), std::string::npos);
    EXPECT_NE(page.find("$499.99"), std::string::npos);
    EXPECT_EQ(page.find("speaker"), std::string::npos);
    EXPECT_EQ(shops.ResultPage("nowhere", "tv").find("class=\"hit\""), std::string::npos);
}

TEST(DemoShops, TheProductDataShopsAgentFindsItsOffersInTheJsonLd)
{
    DemoShops shops;
    AgentConfiguration config;
    ASSERT_EQ(config.LoadText(shops.AgentConfiguration("http://127.0.0.1:9")), 0);
    std::shared_ptr<WebAgent> agent;
    for (const auto& candidate : config.agents()) {
        if (candidate->ReadsStructuredData()) {
            agent = candidate;
        }
    }
    ASSERT_TRUE(agent);
    // A reader that does not know the element still loads every agent whole.
    std::string older = shops.AgentConfiguration("http://127.0.0.1:9");
    older.erase(older.find("<StructuredData>"),
                std::string("<StructuredData>schema.org</StructuredData>").size());
    AgentConfiguration old;
    ASSERT_EQ(old.LoadText(older), 0);
    EXPECT_EQ(old.AgentCount(), config.AgentCount());

    const std::string page = shops.ResultPage("pinecrest", "garden");
    const std::optional<ResultList> list = ResultScraper(page, *agent).CollectResults("garden");
    ASSERT_TRUE(list);
    std::vector<std::string> offers;
    for (const PriceResult& offer : *list) {
        offers.push_back(offer.name + " " + std::to_string(std::lround(offer.price * 100)) + " "
                         + offer.link);
    }
    EXPECT_EQ(offers,
              (std::vector<std::string>{
                  "A Field Guide to Garden Birds 1999 http://127.0.0.1:9/shop/pinecrest/item/3",
                  "The Lighthouse Keeper's Garden 1499 http://127.0.0.1:9/shop/pinecrest/item/1"}));
}

TEST(DemoCatalogue, SeedsOnceAndNewItemsAreUsable)
{
    ItemDatabase items;
    ASSERT_EQ(items.Open(":memory:"), std::nullopt);
    DemoCatalogue::Seed(items, 1780000000);
    const std::int32_t seeded = items.ItemCount().value_or(0);
    EXPECT_GT(seeded, 10);
    DemoCatalogue::Seed(items, 1780000000);
    EXPECT_EQ(items.ItemCount(), seeded);
    for (std::uint32_t n = 0; n < 40; ++n) {
        EXPECT_TRUE(items.Post(DemoCatalogue::NewItem(n, 1780000000))) << n;
    }
}

} // namespace
} // namespace tallyhawk::server
