#include "core/protocol/wire_message.h"
#include "core/store/alert_record.h"
#include "core/store/item_store.h"
#include "core/store/merge_reply.h"
#include "core/store/word_rules.h"
#include "support/file_size_limit.h"
#include "support/mock_clock.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

namespace tallyhawk
{
namespace
{

using test::TempDir;

struct Item
{
    std::int32_t id = 1;
    std::int32_t kind = 2;
    std::int32_t storeId = 7;
    std::int32_t categoryId = 3;
    std::optional<std::string> title = "Title";
    std::optional<std::string> description = "Description";
    std::optional<std::string> storeName = "Store";
    std::optional<std::string> categoryName = "Category";
};

WireMessage Reply(const std::vector<Item>& items, std::optional<std::int64_t> count = std::nullopt)
{
    WireMessage reply;
    reply.Reset(9001);
    reply.AppendNumber(1002);
    reply.AppendNumber(count.value_or(static_cast<std::int64_t>(items.size())));
    for (const Item& item : items) {
        reply.AppendNumber(item.id);
        reply.AppendNumber(item.kind);
        reply.AppendNumber(item.storeId);
        reply.AppendNumber(item.categoryId);
        reply.AppendNumber(0);
        reply.AppendNumber(0);
        reply.AppendText(item.title);
        reply.AppendText(item.description);
        reply.AppendText("extra");
        reply.AppendText(item.storeName);
        reply.AppendText(item.categoryName);
    }
    return reply;
}

class CollectingSink : public AlertSink
{
public:
    void PostAlert(std::unique_ptr<ItemRecord> record) override { alerts.push_back(std::move(record)); }
    std::vector<std::unique_ptr<ItemRecord>> alerts;
};

class MergeReplyTest : public ::testing::Test
{
protected:
    void SetUp() override { store.Open("deal.lst", dir.path().string()); }

    int Merge(const std::vector<Item>& items, std::optional<std::string_view> keywords = std::nullopt)
    {
        return MergeReply(store, Reply(items), 0, keywords, false, nullptr).kept;
    }

    MockClock clock{5000};
    TempDir dir;
    ItemStore store;
};

TEST_F(MergeReplyTest, CountZeroOrAbsentKeepsNothing)
{
    EXPECT_EQ(MergeReply(store, Reply({Item()}, 0), 0, std::nullopt, false, nullptr).kept, 0);
    WireMessage bare;
    bare.Reset(9001);
    bare.AppendNumber(1002);
    EXPECT_EQ(MergeReply(store, bare, 0, std::nullopt, false, nullptr).kept, 0);
    EXPECT_EQ(store.Count(), 0u);
}

TEST_F(MergeReplyTest, ChecksEachItemOnItsOwn)
{
    Item tooHigh;
    tooHigh.id = 99999999;
    Item highest;
    highest.id = 99999998;
    Item noCategory;
    noCategory.categoryId = 0;
    Item noKind;
    noKind.kind = 0;
    Item noTitle;
    noTitle.title = std::nullopt;
    Item emptyTitle;
    emptyTitle.title = "";
    Item zeroId;
    zeroId.id = 0;
    Item good;
    good.id = 12;
    EXPECT_EQ(Merge({good, tooHigh, noCategory, noKind, noTitle, emptyTitle, zeroId, highest}), 2);
    ASSERT_EQ(store.Count(), 2u);
    EXPECT_EQ(store.At(0)->id, 99999998); // the last kept item ends up first
    EXPECT_EQ(store.At(1)->id, 12);
    EXPECT_EQ(store.HighestId(2), 99999998);
}

TEST_F(MergeReplyTest, AnnouncedCountBeyondThePayloadIsHarmless)
{
    EXPECT_EQ(MergeReply(store, Reply({Item()}, 2000000000), 0, std::nullopt, false, nullptr).kept, 1);
}

TEST_F(MergeReplyTest, KeywordListTestsEachTextOnItsOwn)
{
    Item sony;
    sony.id = 1;
    sony.title = "Big screen";
    sony.storeName = "Sony Store";
    EXPECT_EQ(Merge({sony}, "sony"), 1);

    Item split;
    split.id = 2;
    split.title = "CAMERA bag";
    split.description = "fits a lens";
    EXPECT_EQ(Merge({split}, "camera, lens"), 0);
    EXPECT_EQ(Merge({split}, "camera,,"), 1);
    split.id = 3;
    EXPECT_EQ(Merge({split}, ",,"), 1);

    // The description is tested before cleaning removes the tag.
    Item tagged;
    tagged.id = 4;
    tagged.title = "x";
    tagged.description = "<b>bold</b>";
    EXPECT_EQ(Merge({tagged}, "<b>"), 1);
    EXPECT_EQ(store.At(0)->description(), "bold");

    // A missing text is never tested.
    Item bare;
    bare.id = 5;
    bare.title = "plain";
    bare.description = std::nullopt;
    bare.storeName = std::nullopt;
    bare.categoryName = std::nullopt;
    EXPECT_EQ(Merge({bare}, "store"), 0);
}

TEST_F(MergeReplyTest, AlertsFollowReplyOrderWithCleanedDescriptions)
{
    std::vector<Item> items(3);
    for (int i = 0; i < 3; ++i) {
        items[i].id = 20 + i;
        items[i].description = "\n  text " + std::to_string(i);
    }
    items[1].categoryId = 0; // dropped: no alert
    CollectingSink sink;
    EXPECT_EQ(MergeReply(store, Reply(items), 0, std::nullopt, true, &sink).kept, 2);
    ASSERT_EQ(sink.alerts.size(), 2u);
    EXPECT_EQ(sink.alerts[0]->id, 20);
    EXPECT_EQ(sink.alerts[1]->id, 22);
    EXPECT_EQ(sink.alerts[1]->description(), "text 2");
    EXPECT_EQ(sink.alerts[1]->arrivedAt, 5000);
    EXPECT_EQ(sink.alerts[1]->read, 0);
    EXPECT_EQ(store.At(0)->description(), "text 2");

    for (Item& item : items) {
        item.id += 10;
    }
    EXPECT_EQ(MergeReply(store, Reply(items), 0, std::nullopt, false, &sink).kept, 2);
    EXPECT_EQ(sink.alerts.size(), 2u);
}

TEST_F(MergeReplyTest, AFailedAppendStopsTheMergeAndIsReported)
{
    std::vector<Item> items(3);
    for (int i = 0; i < 3; ++i) {
        items[i].id = 30 + i;
    }
    CollectingSink sink;
    store.Open("deal.lst", (dir.path() / "missing" / "folder").string());
    MergeResult missing = MergeReply(store, Reply(items), 0, std::nullopt, true, &sink);
    EXPECT_EQ(missing.kept, 0);
    EXPECT_EQ(missing.status, kCannotOpen);
    EXPECT_EQ(missing.highestStored, 0);
    EXPECT_TRUE(sink.alerts.empty());
    EXPECT_EQ(store.HighestId(2), 0);

    // Room for the file and one record: the second append fails, the third is never tried.
    store.Open("deal.lst", dir.path().string());
    const std::string path = dir.File("deal.lst");
    test::WriteFileBytes(path, ItemStore::kFrame.EmptyFile());
    {
        test::ScopedFileSizeLimit limit(8 + 484 + 100);
        ASSERT_TRUE(limit.active());
        MergeResult full = MergeReply(store, Reply(items), 0, std::nullopt, true, &sink);
        EXPECT_EQ(full.kept, 1);
        EXPECT_EQ(full.status, kBadFormat);
        EXPECT_EQ(full.highestStored, 30);
    }
    ASSERT_EQ(sink.alerts.size(), 1u);
    EXPECT_EQ(sink.alerts[0]->id, 30);
    EXPECT_EQ(store.HighestId(2), 30); // what was stored, so the next request asks again from there
    EXPECT_EQ(test::ReadFileBytes(path).size(), 8u + 484u);
    ItemStore reader;
    reader.Open("deal.lst", dir.path().string());
    EXPECT_EQ(reader.Load(), kOk);
    EXPECT_EQ(reader.Count(), 1u);
}

TEST_F(MergeReplyTest, ItemsTheFileHoldsAlreadyAreDroppedNotStoredTwice)
{
    std::vector<Item> items(3);
    for (int i = 0; i < 3; ++i) {
        items[i].id = 40 + i;
    }
    EXPECT_EQ(Merge(items), 3);
    // Another store on the file (another process, in effect) merges the same reply afterwards.
    ItemStore other;
    other.Open("deal.lst", dir.path().string());
    MergeResult again = MergeReply(other, Reply(items), 0, std::nullopt, false, nullptr);
    EXPECT_EQ(again.kept, 0);
    EXPECT_EQ(again.alreadyStored, 3);
    EXPECT_EQ(again.status, kOk);
    EXPECT_EQ(other.HighestId(2), 42);

    // Ids are compared per kind: a coupon with a deal's id is new, and so is a deal the file lacks even
    // below its highest; a deal the file holds is not.
    items[0].kind = 1;
    items[1].id = 39;
    MergeResult mixed = MergeReply(store, Reply(items), 0, std::nullopt, false, nullptr);
    EXPECT_EQ(mixed.kept, 2);
    EXPECT_EQ(mixed.alreadyStored, 1);
    ItemStore reader;
    reader.Open("deal.lst", dir.path().string());
    ASSERT_EQ(reader.Load(), kOk);
    EXPECT_EQ(reader.Count(), 5u);
}

std::vector<Item> Deals(const std::vector<std::int32_t>& ids)
{
    std::vector<Item> items;
    for (std::int32_t id : ids) {
        Item item;
        item.id = id;
        items.push_back(item);
    }
    return items;
}

std::vector<std::int32_t> StoredIds(const std::string& folder)
{
    ItemStore reader;
    reader.Open("deal.lst", folder);
    EXPECT_EQ(reader.Load(), kOk);
    std::vector<std::int32_t> ids;
    for (const ItemRecord& record : reader.Items()) {
        ids.push_back(record.id);
    }
    return ids; // newest first: the reply's order reversed
}

struct OrderCase
{
    const char* name;
    std::vector<std::int32_t> reply;
};

class MergeReplyOrderTest : public MergeReplyTest, public ::testing::WithParamInterface<OrderCase>
{ };

// A reply in any id order is stored whole and in its own order; the request asked after 2, which the
// file holds.
TEST_P(MergeReplyOrderTest, KeepsEveryNewItemWhateverTheReplysOrder)
{
    ASSERT_EQ(Merge(Deals({1, 2})), 2);
    const std::vector<std::int32_t>& reply = GetParam().reply;
    MergeResult merged = MergeReply(store, Reply(Deals(reply)), 2, std::nullopt, false, nullptr);
    EXPECT_EQ(merged.kept, static_cast<int>(reply.size()));
    EXPECT_EQ(merged.alreadyStored, 0);
    EXPECT_EQ(merged.highestStored, 12);
    std::vector<std::int32_t> expected(reply.rbegin(), reply.rend());
    expected.insert(expected.end(), {2, 1});
    EXPECT_EQ(StoredIds(dir.path().string()), expected);
    EXPECT_EQ(store.HighestId(2), 12);

    // The same reply again, as a second start whose request asked after 12 would not get, but a server
    // that sends it anyway: nothing is stored twice.
    MergeResult again = MergeReply(store, Reply(Deals(reply)), 2, std::nullopt, false, nullptr);
    EXPECT_EQ(again.kept, 0);
    EXPECT_EQ(again.alreadyStored, static_cast<int>(reply.size()));
    EXPECT_EQ(store.HighestId(2), 12);
}

INSTANTIATE_TEST_SUITE_P(Orders,
                         MergeReplyOrderTest,
                         ::testing::Values(OrderCase{"ascending", {3, 4, 10, 11, 12}},
                                           OrderCase{"descending", {12, 11, 10, 4, 3}},
                                           OrderCase{"shuffled", {12, 10, 11}},
                                           OrderCase{"shuffled_long", {10, 3, 12, 4, 11}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MergeReplyTest, AnIdNotAboveTheRequestsIsDroppedEvenWhenTheFileLacksIt)
{
    // The file no longer holds 5 and 6 (archived or deleted), and the request asked after 8.
    MergeResult merged = MergeReply(store, Reply(Deals({9, 5, 8, 10, 6})), 8, std::nullopt, false, nullptr);
    EXPECT_EQ(merged.kept, 2);
    EXPECT_EQ(merged.alreadyStored, 3);
    EXPECT_EQ(StoredIds(dir.path().string()), (std::vector<std::int32_t>{10, 9}));
}

TEST_F(MergeReplyTest, AnItemAnotherProcessAppendedMeanwhileIsNotStoredTwice)
{
    ASSERT_EQ(Merge(Deals({1})), 1);
    // Another program appends 11 after this store last looked at the file.
    ItemStore other;
    other.Open("deal.lst", dir.path().string());
    ASSERT_EQ(MergeReply(other, Reply(Deals({11})), 1, std::nullopt, false, nullptr).kept, 1);
    MergeResult merged = MergeReply(store, Reply(Deals({12, 10, 11})), 1, std::nullopt, false, nullptr);
    EXPECT_EQ(merged.kept, 2);
    EXPECT_EQ(merged.alreadyStored, 1);
    EXPECT_EQ(StoredIds(dir.path().string()), (std::vector<std::int32_t>{10, 12, 11, 1}));
}

TEST_F(MergeReplyTest, TwoMergesOfOneShuffledReplyAtOnceStoreEachItemOnce)
{
    std::vector<std::int32_t> ids(200);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        ids[i] = static_cast<std::int32_t>(i + 1);
    }
    std::shuffle(ids.begin(), ids.end(), std::mt19937(11));
    // Each merge reads a reply of its own, as two programs would: a reply is read by one thread.
    const WireMessage replies[2] = {Reply(Deals(ids)), Reply(Deals(ids))};
    ItemStore stores[2];
    int kept[2] = {};
    std::vector<std::thread> merges;
    for (int s = 0; s < 2; ++s) {
        stores[s].Open("deal.lst", dir.path().string());
        merges.emplace_back(
            [&, s] { kept[s] = MergeReply(stores[s], replies[s], 0, std::nullopt, false, nullptr).kept; });
    }
    for (std::thread& merge : merges) {
        merge.join();
    }
    EXPECT_EQ(kept[0] + kept[1], 200);
    std::vector<std::int32_t> stored = StoredIds(dir.path().string());
    std::sort(stored.begin(), stored.end());
    std::vector<std::int32_t> expected(ids);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(stored, expected);
    EXPECT_EQ(std::max(stores[0].HighestId(2), stores[1].HighestId(2)), 200);
}

TEST_F(MergeReplyTest, NothingIsAppendedAfterDamageReadersStopAt)
{
    std::vector<Item> items(2);
    items[0].id = 50;
    items[1].id = 51;
    EXPECT_EQ(Merge({items[0]}), 1);
    // A whole second record whose marker is wrong, then the end marker: the file still ends well.
    const std::string path = dir.File("deal.lst");
    std::string bytes = test::ReadFileBytes(path);
    const std::string record = bytes.substr(4, 484);
    std::string damaged
        = bytes.substr(0, bytes.size() - 4) + "XXXX" + record.substr(4) + bytes.substr(bytes.size() - 4);
    test::WriteFileBytes(path, damaged);
    ItemStore fresh;
    fresh.Open("deal.lst", dir.path().string());
    MergeResult result = MergeReply(fresh, Reply({items[1]}), 0, std::nullopt, false, nullptr);
    EXPECT_EQ(result.kept, 0);
    EXPECT_EQ(result.status, kBadFormat);
    EXPECT_EQ(test::ReadFileBytes(path), damaged);
    // Nor through the store that appended before the damage came: it reads on from where it stopped.
    EXPECT_EQ(MergeReply(store, Reply({items[1]}), 0, std::nullopt, false, nullptr).status, kBadFormat);
    EXPECT_EQ(test::ReadFileBytes(path), damaged);
}

TEST(WordRules, MatchesAllWords)
{
    EXPECT_TRUE(MatchesAllWords("Sony Store", "store SONY"));
    EXPECT_TRUE(MatchesAllWords("Sony Store", "  "));
    EXPECT_TRUE(MatchesAllWords("", ""));
    EXPECT_FALSE(MatchesAllWords("Sony Store", "sony tv"));
    EXPECT_FALSE(MatchesAllWords(std::nullopt, "a"));
    EXPECT_FALSE(MatchesAllWords("a", std::nullopt));
    // Only a to z change case; other bytes match themselves.
    EXPECT_FALSE(MatchesAllWords("\xE9t\xE9", "\xC9T\xC9"));
    EXPECT_TRUE(MatchesAllWords("\xE9t\xE9", "\xE9T"));
    EXPECT_TRUE(MatchesAllWords("a[b", "A[B"));
    EXPECT_FALSE(MatchesAllWords("a{b", "A[B"));
}

TEST(WordRules, MatchesKeywordList)
{
    EXPECT_TRUE(MatchesKeywordList("Sony TV 42 inch", "sony tv, 42 in"));
    EXPECT_FALSE(MatchesKeywordList("Sony TV", "sony tv, 42 in"));
    EXPECT_TRUE(MatchesKeywordList("anything", ",,,"));
    EXPECT_TRUE(MatchesKeywordList("camera", "camera,,"));
    EXPECT_FALSE(MatchesKeywordList(std::nullopt, "a"));
    EXPECT_FALSE(MatchesKeywordList("a", std::nullopt));
}

std::string Cleaned(std::string text)
{
    return CleanDescription(text);
}

// The cleaning rules followed step by step, searching from the start after every change.
std::string NaiveClean(std::string text)
{
    for (;;) {
        std::size_t open = text.find('<');
        std::size_t close = text.find('>');
        if (open == std::string::npos || close == std::string::npos || open > close) {
            break;
        }
        text.erase(open, close - open + 1);
    }
    for (std::size_t at; (at = text.find("&amp;")) != std::string::npos;) {
        text.replace(at, 5, "&");
    }
    for (std::size_t at; (at = text.find("&nbsp;")) != std::string::npos;) {
        text.replace(at, 6, " ");
    }
    for (char& c : text) {
        if (c >= 1 && c <= 31) {
            c = ' ';
        }
    }
    return text.erase(0, std::min(text.find_first_not_of(' '), text.size()));
}

TEST(CleanDescription, Examples)
{
    EXPECT_EQ(Cleaned("a <b>word</b> &lt; c"), "a word &lt; c");
    EXPECT_EQ(Cleaned("\r\n  text"), "text");
    EXPECT_EQ(Cleaned("&amp;amp;"), "&");
    EXPECT_EQ(Cleaned("&amp;nbsp;x"), "x");
    EXPECT_EQ(Cleaned("Tom &amp; Jerry&nbsp;&nbsp;!"), "Tom & Jerry  !");
    EXPECT_EQ(Cleaned("> a <b>"), "> a <b>");
    EXPECT_EQ(Cleaned("x<a>y<b"), "xy<b");
    EXPECT_EQ(Cleaned("<<a>b>"), "b>");
    EXPECT_EQ(Cleaned("\xA0\xFF\tx"), "\xA0\xFF x");
    EXPECT_EQ(Cleaned(""), "");
    EXPECT_EQ(Cleaned("   "), "");
}

TEST(CleanDescription, AgreesWithTheStepByStepRules)
{
    const std::string alphabet = "<>&ampnbs; \n\tx";
    std::mt19937 random(12345);
    for (int round = 0; round < 20000; ++round) {
        std::string text(random() % 24, ' ');
        for (char& c : text) {
            c = alphabet[random() % alphabet.size()];
        }
        ASSERT_EQ(Cleaned(text), NaiveClean(text)) << "input: " << text;
    }
}

TEST(CleanDescription, HostileInputStaysLinear)
{
    // Each of these would take minutes if every replacement searched again from the start.
    std::string amps = "&";
    for (int i = 0; i < 200000; ++i) {
        amps += "amp;";
    }
    EXPECT_EQ(Cleaned(amps), "&");
    std::string tags;
    for (int i = 0; i < 200000; ++i) {
        tags += "<a>";
    }
    EXPECT_EQ(Cleaned(tags + "end"), "end");
    std::string spaces = std::string(400000, '<') + std::string(400000, '\n') + "z";
    EXPECT_EQ(Cleaned(spaces), std::string(400000, '<') + std::string(400000, ' ') + "z");
}

} // namespace
} // namespace tallyhawk
