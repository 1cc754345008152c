#include "core/store/id_name_list.h"
#include "core/update/list_updater.h"
#include "server/demo_catalogue.h"
#include "server/demo_shops.h"
#include "server/item_database.h"
#include "server/item_input.h"
#include "server/site_pages.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(again.Post(topic)->id, 3);
    EXPECT_EQ(again.ItemsAfter(1, 0, 10).size(), 1u);
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
        R"({"kind":"deal","title":"Kettle","store":"Bluebird","date":"2026-12-24","hot":true,"extra":"$20"})",
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

TEST(DemoCatalogue, SeedsOnceAndNewItemsAreUsable)
{
    ItemDatabase items;
    ASSERT_EQ(items.Open(":memory:"), std::nullopt);
    DemoCatalogue::Seed(items, 1780000000);
    const std::int32_t seeded = items.ItemCount();
    EXPECT_GT(seeded, 10);
    DemoCatalogue::Seed(items, 1780000000);
    EXPECT_EQ(items.ItemCount(), seeded);
    for (std::uint32_t n = 0; n < 40; ++n) {
        EXPECT_TRUE(items.Post(DemoCatalogue::NewItem(n, 1780000000))) << n;
    }
}

} // namespace
} // namespace tallyhawk::server
