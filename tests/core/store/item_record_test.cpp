#include "core/common/byte_text.h"
#include "core/common/item_kind.h"
#include "core/store/alert_record.h"
#include "core/store/item_filter.h"
#include "core/store/item_record.h"
#include "core/store/item_store.h"
#include "support/mock_clock.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tallyhawk
{
namespace
{

using test::ReadFileBytes;
using test::TempDir;

std::string Le(std::uint32_t value, int bytes = 4)
{
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    return out;
}

std::string Field(std::string_view text, std::size_t size)
{
    std::string out(text);
    out.resize(size, '\0');
    return out;
}

// The stored bytes of one record, written out field by field.
std::string RecordBytes(std::uint32_t id,
                        std::uint32_t kind,
                        std::uint32_t store,
                        std::uint32_t category,
                        std::uint32_t date,
                        std::uint32_t arrived,
                        std::uint16_t deleted,
                        std::uint16_t read,
                        std::uint16_t hot,
                        std::string_view title,
                        std::string_view description,
                        std::string_view extra,
                        std::string_view storeName,
                        std::string_view categoryName)
{
    return Le(id) + Le(kind) + Le(store) + Le(category) + Le(date) + Le(arrived) + Le(deleted, 2)
        + Le(read, 2) + Le(hot, 2) + Field(title, 50) + Field(description, 250) + Field(extra, 50)
        + Field(storeName, 50) + Field(categoryName, 50);
}

ItemValues Values(std::int32_t id, std::int32_t kind)
{
    ItemValues values;
    values.id = id;
    values.kind = kind;
    values.storeId = 7;
    values.categoryId = 9;
    values.date = -1;
    values.hot = 1;
    values.title = "T";
    values.description = "D";
    values.extra = "E";
    values.storeName = "S";
    values.categoryName = "C";
    return values;
}

TEST(ItemRecordLayout, FirstAppendCreatesTheWholeFile)
{
    TempDir dir;
    ItemStore store;
    store.Open("deal.lst", dir.path().string());
    MockClock clock(1700000000);
    ASSERT_EQ(store.Append(Values(5, 2)), 0);

    const std::string record
        = RecordBytes(5, 2, 7, 9, 0xFFFFFFFF, 1700000000, 0, 0, 1, "T", "D", "E", "S", "C");
    ASSERT_EQ(record.size(), 480u);
    const std::string expected = std::string("\x81\x38\x01\x00", 4) + std::string("\x82\x38\x01\x00", 4)
        + record + std::string("\x83\x38\x01\x00", 4);
    const std::string file = ReadFileBytes(dir.File("deal.lst"));
    ASSERT_EQ(file.size(), 492u);
    EXPECT_EQ(file, expected);
    // Spot checks of the hand-made bytes against the table: arrival at 20, hot at 28, title at 30.
    EXPECT_EQ(file.substr(8 + 20, 4), std::string("\x00\xF1\x53\x65", 4));
    EXPECT_EQ(file.substr(8 + 28, 3), std::string("\x01\x00T", 3));
    EXPECT_EQ(file[8 + 80], 'D');
    EXPECT_EQ(file[8 + 330], 'E');
    EXPECT_EQ(file[8 + 380], 'S');
    EXPECT_EQ(file[8 + 430], 'C');
}

TEST(ItemRecordLayout, SecondAppendGoesBeforeTheEndMarkerAndFirstInTheView)
{
    TempDir dir;
    ItemStore store;
    store.Open("deal.lst", dir.path().string());
    MockClock clock(100);
    ASSERT_EQ(store.Append(Values(5, 2)), 0);
    clock.Set(200);
    ASSERT_EQ(store.Append(Values(6, 1)), 0);

    const std::string file = ReadFileBytes(dir.File("deal.lst"));
    ASSERT_EQ(file.size(), 976u);
    EXPECT_EQ(file.substr(0, 4), Le(80001));
    EXPECT_EQ(file.substr(4, 4), Le(80002));
    EXPECT_EQ(file.substr(488, 4), Le(80002));
    EXPECT_EQ(file.substr(492, 480),
              RecordBytes(6, 1, 7, 9, 0xFFFFFFFF, 200, 0, 0, 1, "T", "D", "E", "S", "C"));
    EXPECT_EQ(file.substr(972, 4), Le(80003));

    ItemStore reader;
    reader.Open("deal.lst", dir.path().string());
    ASSERT_EQ(reader.Load(), 0);
    ASSERT_EQ(reader.Count(), 2u);
    EXPECT_EQ(reader.At(0)->id, 6);
    EXPECT_EQ(reader.At(1)->id, 5);
    EXPECT_FALSE(reader.At(2));
}

TEST(ItemRecordLayout, ParseSerializeRoundTripAndFieldLimits)
{
    const std::string bytes = RecordBytes(
        0x80000001u, 3, 0xFFFFFFFE, 4, 5, 6, 1, 0xFFFF, 0x8000, "title", "desc", "x", "store", "cat");
    ItemRecord record = ItemRecord::Parse(reinterpret_cast<const unsigned char*>(bytes.data()));
    EXPECT_EQ(record.id, -2147483647);
    EXPECT_EQ(record.storeId, -2);
    EXPECT_EQ(record.deleted, 1);
    EXPECT_EQ(record.read, -1);
    EXPECT_EQ(record.hot, -32768);
    EXPECT_EQ(record.title(), "title");
    EXPECT_EQ(record.categoryName(), "cat");
    std::string out(480, '\x55');
    record.Serialize(reinterpret_cast<unsigned char*>(out.data()));
    EXPECT_EQ(out, bytes);

    // A field without any zero byte reads as its first size - 1 bytes.
    std::string full = bytes;
    std::fill(full.begin() + 30, full.begin() + 80, 'A');
    std::fill(full.begin() + 80, full.begin() + 330, 'B');
    ItemRecord unterminated = ItemRecord::Parse(reinterpret_cast<const unsigned char*>(full.data()));
    EXPECT_EQ(unterminated.title(), std::string(49, 'A'));
    EXPECT_EQ(unterminated.description(), std::string(249, 'B'));
}

TEST(ItemRecordLayout, MakeTruncatesTextsAndNarrowsHot)
{
    ItemValues values;
    const std::string longTitle(60, 't');
    values.title = longTitle;
    const std::string longDescription(300, 'd');
    values.description = longDescription;
    values.storeName = std::nullopt;
    values.hot = 0x10001;
    ItemRecord record = ItemRecord::Make(values, 42);
    EXPECT_EQ(record.title(), std::string(49, 't'));
    EXPECT_EQ(record.description(), std::string(249, 'd'));
    EXPECT_EQ(record.storeName(), "");
    EXPECT_EQ(record.hot, 1);
    EXPECT_EQ(record.arrivedAt, 42);
    EXPECT_EQ(record.deleted, 0);
    EXPECT_EQ(record.read, 0);
    ItemRecord copy = record;
    EXPECT_EQ(copy.title(), record.title());
    record.SetTitle("changed");
    EXPECT_EQ(copy.title(), std::string(49, 't'));
}

TEST(ItemFilter, TimeStoreAndCategoryRules)
{
    ItemRecord record = ItemRecord::Make(Values(1, 2), 1000);
    ItemFilter filter;
    EXPECT_TRUE(filter.Passes(record));
    filter.from = 1000;
    filter.to = 1000;
    EXPECT_TRUE(filter.Passes(record));
    filter.from = 1001;
    EXPECT_FALSE(filter.Passes(record));
    filter.from = 0;
    filter.to = 999;
    EXPECT_FALSE(filter.Passes(record));
    // An unknown arrival time is never filtered out by time.
    record.arrivedAt = 0;
    EXPECT_TRUE(filter.Passes(record));

    filter = ItemFilter();
    filter.storeId = 8;
    EXPECT_FALSE(filter.Passes(record));
    record.storeId = 0;
    EXPECT_TRUE(filter.Passes(record));
    filter = ItemFilter();
    filter.categoryId = 9;
    EXPECT_TRUE(filter.Passes(record));
    filter.categoryId = 10;
    EXPECT_FALSE(filter.Passes(record));
}

TEST(ItemFilter, KeywordMatchesAnyTextIgnoringCase)
{
    ItemValues values = Values(1, 2);
    values.title = "Big Screen";
    values.storeName = "Sony Store";
    values.categoryName = "Electronics";
    values.description = "42 inch plasma";
    ItemRecord record = ItemRecord::Make(values, 1000);
    ItemFilter filter;
    for (const char* keyword : {"big screen", "SONY", "electro", "PLASMA 42", "", "   "}) {
        filter.keyword = keyword;
        EXPECT_TRUE(filter.Passes(record)) << keyword;
    }
    // Every word must occur in one text: words split over two texts do not match.
    for (const char* keyword : {"sony plasma", "toshiba", "big  screen  tv"}) {
        filter.keyword = keyword;
        EXPECT_FALSE(filter.Passes(record)) << keyword;
    }
}

TEST(ItemFilter, ChosenStoreKeepsItsCouponsDespiteTheKeyword)
{
    ItemFilter filter;
    filter.keyword = "nowhere";
    filter.storeId = 7;
    ItemRecord coupon = ItemRecord::Make(Values(1, KindNumber(ItemKind::Coupon)), 1000);
    ItemRecord deal = ItemRecord::Make(Values(2, KindNumber(ItemKind::Deal)), 1000);
    EXPECT_TRUE(filter.Passes(coupon));
    EXPECT_FALSE(filter.Passes(deal));
    // A coupon without a store passes step 3 but is not the chosen store's.
    coupon.storeId = 0;
    EXPECT_FALSE(filter.Passes(coupon));
    // A negative store id never takes this way.
    filter.storeId = -3;
    coupon.storeId = -3;
    EXPECT_FALSE(filter.Passes(coupon));
    // Without a chosen store a coupon of some store needs the keyword; the rule compares the ids
    // as they are, so a coupon without a store still equals "no store".
    filter.storeId = 0;
    coupon.storeId = 7;
    EXPECT_FALSE(filter.Passes(coupon));
    coupon.storeId = 0;
    EXPECT_TRUE(filter.Passes(coupon));
}

TEST(AlertRecord, ProgramNoticeAndItemAlert)
{
    std::unique_ptr<ItemRecord> notice = MakeProgramNotice(5);
    EXPECT_EQ(notice->kind, 99);
    EXPECT_EQ(notice->id, 1);
    EXPECT_EQ(notice->storeId, 0);
    EXPECT_EQ(notice->arrivedAt, 0);
    EXPECT_EQ(notice->title(), "Tallyhawk Auto Update");
    EXPECT_EQ(notice->description(), "Tallyhawk has downloaded 5 new coupons and deals.");
    EXPECT_EQ(notice->extra(), "");

    std::unique_ptr<ItemRecord> alert = MakeItemAlert(Values(3, 2), 77);
    EXPECT_EQ(alert->id, 3);
    EXPECT_EQ(alert->arrivedAt, 77);
    EXPECT_EQ(alert->storeName(), "S");
    EXPECT_EQ(alert->read, 0);
}

} // namespace
} // namespace tallyhawk
