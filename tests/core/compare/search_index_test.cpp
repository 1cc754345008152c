#include "core/common/status.h"
#include "core/compare/search_index.h"
#include "support/mock_clock.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <filesystem>
#include <thread>

namespace tallyhawk
{
namespace
{

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::string Le32(std::uint32_t value)
{
    return {static_cast<char>(value),
            static_cast<char>(value >> 8),
            static_cast<char>(value >> 16),
            static_cast<char>(value >> 24)};
}

std::string Le16(std::uint16_t value)
{
    return {static_cast<char>(value), static_cast<char>(value >> 8)};
}

PriceResult Offer(std::int32_t id, std::string name, double price)
{
    PriceResult offer;
    offer.id = id;
    offer.name = std::move(name);
    offer.link = "http://s.test/" + std::to_string(id);
    offer.siteName = "S";
    offer.price = price;
    return offer;
}

class ComparisonFiles : public ::testing::Test
{
protected:
    ComparisonFiles() { std::filesystem::create_directory(dir.path() / "WebSearch"); }

    SearchIndex Index() const { return SearchIndex(dir.File("pricecmp.dat"), dir.File("WebSearch")); }

    TempDir dir;
    MockClock clock{1700000000};
};

TEST(ResultList, OrderedInsertKeepsEqualPricesInArrivalOrder)
{
    ResultList list;
    std::int32_t id = 0;
    for (double price : {5.0, 10.0, 5.0, 10.0, 1.0, 5.0, 12.0, 1.0}) {
        list.Insert(Offer(++id, "n", price));
    }
    std::vector<std::int32_t> ids;
    for (const PriceResult* offer = list.First(); offer; offer = list.Next()) {
        ids.push_back(offer->id);
    }
    EXPECT_EQ(ids, (std::vector<std::int32_t>{7, 2, 4, 1, 3, 6, 5, 8}));
    // Removing the offer under the cursor skips none.
    list.First();
    list.Next();
    list.RemoveById(2);
    EXPECT_EQ(list.Next()->id, 4);
    EXPECT_EQ(list.Next()->id, 1);
    EXPECT_EQ(list.Count(), 7u);
}

TEST_F(ComparisonFiles, ResultsFileBytes)
{
    ResultList list;
    PriceResult offer = Offer(7, "ab", 2.5);
    offer.flags = 0x0102;
    list.Insert(offer);
    PriceResult bare = Offer(8, "", 1.0);
    bare.link.clear();
    bare.siteName.clear();
    bare.text = "";
    list.Insert(bare);

    // 2.5 is 0x4004000000000000; an empty present text is the count 1 and its zero byte.
    const std::string expected = Le32(80001) + Le32(80002) + Le32(7) + Le32(0) + Le32(0x40040000)
        + Le16(0x0102) + Le32(3) + std::string("ab\0", 3) + Le32(0) + Le32(16)
        + std::string("http://s.test/7\0", 16) + Le32(2) + std::string("S\0", 2) + Le32(80002) + Le32(8)
        + Le32(0) + Le32(0x3ff00000) + Le16(0) + Le32(0) + Le32(1) + std::string(1, '\0') + Le32(0) + Le32(0)
        + Le32(80003);
    const std::string path = dir.File("WebSearch/3.dat");
    ASSERT_EQ(list.Save(path), kOk);
    EXPECT_EQ(ReadFileBytes(path), expected);

    ResultList loaded;
    ASSERT_EQ(loaded.Load(path), kOk);
    ASSERT_EQ(loaded.Count(), 2u);
    const PriceResult* first = loaded.First();
    EXPECT_EQ(first->name, "ab");
    EXPECT_FALSE(first->text);
    EXPECT_EQ(first->flags, 0x0102);
    const PriceResult* second = loaded.Next();
    EXPECT_EQ(second->text, "");
    EXPECT_EQ(second->link, "");
    EXPECT_EQ(loaded.Next(), nullptr);
}

TEST_F(ComparisonFiles, ResultsLoadInPriceOrderAndDeleteToAnEmptyFile)
{
    ResultList lowFirst;
    // Inserted one by one they would sort; written raw, lowest first, with equal prices.
    std::string bytes = Le32(80001);
    for (auto [id, price] : {std::pair{1, 1.0}, {2, 5.0}, {3, 1.0}, {4, 9.0}}) {
        const auto bits = std::bit_cast<std::uint64_t>(price);
        bytes += Le32(80002) + Le32(static_cast<std::uint32_t>(id)) + Le32(static_cast<std::uint32_t>(bits))
            + Le32(static_cast<std::uint32_t>(bits >> 32)) + Le16(0) + Le32(2) + std::string("n\0", 2)
            + Le32(0) + Le32(2) + std::string("l\0", 2) + Le32(0);
    }
    bytes += Le32(80003);
    const std::string path = dir.File("WebSearch/5.dat");
    WriteFileBytes(path, bytes);
    ResultList list;
    ASSERT_EQ(list.Load(path), kOk);
    std::vector<std::int32_t> ids;
    for (const PriceResult& offer : list) {
        ids.push_back(offer.id);
    }
    EXPECT_EQ(ids, (std::vector<std::int32_t>{4, 2, 1, 3}));

    for (std::int32_t id : {4, 2, 99, 1, 3}) {
        EXPECT_EQ(list.RemoveById(id), kOk);
    }
    ASSERT_EQ(list.Save(path), kOk);
    EXPECT_EQ(ReadFileBytes(path), Le32(80001) + Le32(80003));
}

TEST_F(ComparisonFiles, DamagedResultsFiles)
{
    ResultList good;
    good.Insert(Offer(1, "one", 3));
    good.Insert(Offer(2, "two", 2));
    const std::string whole = good.Serialize();
    const std::string path = dir.File("WebSearch/9.dat");
    ResultList list;
    EXPECT_EQ(list.Load(dir.File("WebSearch/missing.dat")), kCannotOpen);

    // Cut anywhere inside the second offer: the first stays, the load says the file is short.
    for (std::size_t cut : {whole.size() - 5, whole.size() - 10, whole.size() / 2 + 20}) {
        WriteFileBytes(path, whole.substr(0, cut));
        EXPECT_EQ(list.Load(path), kBadFormat) << cut;
        EXPECT_EQ(list.Count(), 1u) << cut;
    }
    WriteFileBytes(path, Le32(80002) + whole.substr(4));
    EXPECT_EQ(list.Load(path), kBadMarker);
    WriteFileBytes(path, Le32(80001) + Le32(12345));
    EXPECT_EQ(list.Load(path), kBadMarker);
    // A count far beyond the file is refused before anything is allocated for it.
    WriteFileBytes(path, Le32(80001) + Le32(80002) + std::string(14, '\0') + Le32(0x7fffffff) + "abc");
    EXPECT_EQ(list.Load(path), kBadFormat);
    EXPECT_EQ(list.Count(), 0u);
    // A negative count is an absent text.
    WriteFileBytes(path,
                   Le32(80001) + Le32(80002) + std::string(14, '\0') + Le32(0xffffffff) + Le32(0) + Le32(0)
                       + Le32(0) + Le32(80003));
    EXPECT_EQ(list.Load(path), kOk);
    EXPECT_EQ(list.Count(), 1u);
}

TEST_F(ComparisonFiles, FirstSaveWritesThe84ByteIndex)
{
    SearchIndex index = Index();
    ResultList results;
    results.Insert(Offer(1, "red shoe", 5));
    ASSERT_EQ(index.SaveSearch(4, "red shoes", results), 2);

    std::string record
        = Le32(0) + Le32(2) + Le32(4) + Le32(1700000000) + "red shoes" + std::string(41, '\0') + Le16(0);
    ASSERT_EQ(record.size(), 68u);
    const std::string bytes = ReadFileBytes(dir.File("pricecmp.dat"));
    EXPECT_EQ(bytes, Le32(80001) + Le32(2) + Le32(80002) + record + Le32(80003));
    EXPECT_EQ(bytes.size(), 84u);
    EXPECT_EQ(ReadFileBytes(dir.File("WebSearch/2.dat")), results.Serialize());

    ASSERT_EQ(index.SaveSearch(4, "blue", results), 3);
    EXPECT_EQ(ReadFileBytes(dir.File("pricecmp.dat")).substr(4, 4), Le32(3));
    EXPECT_EQ(index.Count(), 2u);
}

TEST_F(ComparisonFiles, LoadFiltersAndOrdersNewestFirst)
{
    SearchIndex writer = Index();
    ResultList results;
    results.Insert(Offer(1, "x", 1));
    const std::string longText(60, 'w');
    clock.Set(1000);
    ASSERT_EQ(writer.SaveSearch(1, "old red", results), 2);
    clock.Set(3000);
    ASSERT_EQ(writer.SaveSearch(1, "first red", results), 3);
    ASSERT_EQ(writer.SaveSearch(1, "second blue", results), 4);
    clock.Set(2000);
    ASSERT_EQ(writer.SaveSearch(2, longText, results), 5);

    SearchIndex index = Index();
    ASSERT_EQ(index.Load(), kOk);
    std::vector<std::int32_t> ids;
    for (const SearchRecord* record = index.First(); record; record = index.Next()) {
        ids.push_back(record->id);
    }
    // Equal times keep file order.
    EXPECT_EQ(ids, (std::vector<std::int32_t>{3, 4, 5, 2}));
    EXPECT_EQ(index.records()[2].name, std::string(49, 'w'));

    ItemFilter filter;
    filter.from = 1500;
    filter.to = 2500;
    ASSERT_EQ(index.Load(&filter), kOk);
    ASSERT_EQ(index.Count(), 1u);
    EXPECT_EQ(index.records()[0].id, 5);

    ItemFilter words;
    words.keyword = "RED";
    ASSERT_EQ(index.Load(&words), kOk);
    EXPECT_EQ(index.Count(), 2u);
    // The 49 bytes kept are what the keyword filter sees.
    words.keyword = std::string(50, 'w');
    ASSERT_EQ(index.Load(&words), kOk);
    EXPECT_EQ(index.Count(), 0u);
    words.keyword = std::string(49, 'w');
    ASSERT_EQ(index.Load(&words), kOk);
    EXPECT_EQ(index.Count(), 1u);
}

TEST_F(ComparisonFiles, DeletedUndatedAndDamagedIndexRecords)
{
    SearchIndex writer = Index();
    ResultList results;
    results.Insert(Offer(1, "x", 1));
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(writer.SaveSearch(1, "n" + std::to_string(i), results), 2 + i);
    }
    std::string bytes = ReadFileBytes(dir.File("pricecmp.dat"));
    // The comparison with id 3 deleted, the one with id 4 undated (it passes any time range).
    bytes[8 + 72 + 4 + 66] = 1;
    bytes.replace(8 + 2 * 72 + 4 + 12, 4, Le32(0));
    WriteFileBytes(dir.File("pricecmp.dat"), bytes);

    SearchIndex index = Index();
    ItemFilter filter;
    filter.from = 1700000000 + 1;
    ASSERT_EQ(index.Load(&filter), kOk);
    ASSERT_EQ(index.Count(), 1u);
    EXPECT_EQ(index.records()[0].id, 4);

    WriteFileBytes(dir.File("pricecmp.dat"), bytes.substr(0, bytes.size() - 30));
    EXPECT_EQ(index.Load(&filter), kBadFormat);
    EXPECT_EQ(index.Count(), 0u);
    ItemFilter all;
    EXPECT_EQ(index.Load(&all), kBadFormat);
    EXPECT_EQ(index.Count(), 1u); // record 1; 2 is deleted, 3 is cut short

    WriteFileBytes(dir.File("pricecmp.dat"), Le32(80002) + bytes.substr(4));
    EXPECT_EQ(index.Load(), kBadMarker);
    std::filesystem::remove(dir.File("pricecmp.dat"));
    EXPECT_EQ(index.Load(), kCannotOpen);
}

TEST_F(ComparisonFiles, AFailedSaveLeavesNoRecordAndNoResultsFile)
{
    ResultList results;
    results.Insert(Offer(1, "x", 1));
    // Without the results folder nothing can be saved, and the index keeps no record naming a file.
    SearchIndex noFolder(dir.File("pricecmp.dat"), dir.File("NoSuchFolder"));
    EXPECT_EQ(noFolder.SaveSearch(1, "red", results), kCannotOpen);
    SearchIndex index = Index();
    if (std::filesystem::exists(dir.File("pricecmp.dat"))) {
        ASSERT_EQ(index.Load(), kOk);
        EXPECT_EQ(index.Count(), 0u);
    }
    EXPECT_EQ(noFolder.Count(), 0u);

    // A damaged index is not written to, and the results are not left behind.
    WriteFileBytes(dir.File("pricecmp.dat"),
                   Le32(80001) + Le32(5) + Le32(80002) + std::string(68, 'x') + Le32(7) + std::string(68, 'y')
                       + Le32(80003));
    const std::string damaged = ReadFileBytes(dir.File("pricecmp.dat"));
    EXPECT_EQ(index.SaveSearch(1, "red", results), kBadFormat);
    EXPECT_FALSE(std::filesystem::exists(dir.File("WebSearch/6.dat")));
    EXPECT_EQ(ReadFileBytes(dir.File("pricecmp.dat")), damaged);

    // A torn tail, as a crash in the middle of a save leaves it, is cut off and the save goes on.
    WriteFileBytes(dir.File("pricecmp.dat"), Le32(80001) + Le32(5) + Le32(80002) + std::string(30, 'x'));
    EXPECT_EQ(index.SaveSearch(1, "red", results), 6);
    EXPECT_EQ(ReadFileBytes(dir.File("pricecmp.dat")).size(), 84u);
}

TEST_F(ComparisonFiles, ConcurrentSavesGiveDistinctIds)
{
    ResultList results;
    results.Insert(Offer(1, "x", 1));
    std::vector<std::int32_t> ids(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        threads.emplace_back([&, i] {
            SearchIndex index = Index();
            ids[i] = index.SaveSearch(1, "t", results);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::int32_t>{2, 3, 4, 5, 6, 7, 8, 9}));
    SearchIndex index = Index();
    ASSERT_EQ(index.Load(), kOk);
    EXPECT_EQ(index.Count(), 8u);
    for (std::int32_t id : ids) {
        EXPECT_TRUE(std::filesystem::exists(dir.File("WebSearch/" + std::to_string(id) + ".dat")));
    }
}

} // namespace
} // namespace tallyhawk
