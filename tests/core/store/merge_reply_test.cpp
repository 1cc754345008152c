#include "core/protocol/wire_message.h"
#include "core/store/alert_record.h"
#include "core/store/item_store.h"
#include "core/store/merge_reply.h"
#include "core/store/word_rules.h"
#include "support/mock_clock.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <random>

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
        return MergeReply(store, Reply(items), keywords, false, nullptr);
    }

    MockClock clock{5000};
    TempDir dir;
    ItemStore store;
};

TEST_F(MergeReplyTest, CountZeroOrAbsentKeepsNothing)
{
    EXPECT_EQ(MergeReply(store, Reply({Item()}, 0), std::nullopt, false, nullptr), 0);
    WireMessage bare;
    bare.Reset(9001);
    bare.AppendNumber(1002);
    EXPECT_EQ(MergeReply(store, bare, std::nullopt, false, nullptr), 0);
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
    EXPECT_EQ(Merge({tooHigh, highest, noCategory, noKind, noTitle, emptyTitle, zeroId, good}), 2);
    ASSERT_EQ(store.Count(), 2u);
    EXPECT_EQ(store.At(0)->id, 12); // the last kept item ends up first
    EXPECT_EQ(store.At(1)->id, 99999998);
    EXPECT_EQ(store.HighestId(2), 99999998);
}

TEST_F(MergeReplyTest, AnnouncedCountBeyondThePayloadIsHarmless)
{
    EXPECT_EQ(MergeReply(store, Reply({Item()}, 2000000000), std::nullopt, false, nullptr), 1);
}

TEST_F(MergeReplyTest, KeywordListTestsEachTextOnItsOwn)
{
    Item sony;
    sony.title = "Big screen";
    sony.storeName = "Sony Store";
    EXPECT_EQ(Merge({sony}, "sony"), 1);

    Item split;
    split.title = "CAMERA bag";
    split.description = "fits a lens";
    EXPECT_EQ(Merge({split}, "camera, lens"), 0);
    EXPECT_EQ(Merge({split}, "camera,,"), 1);
    EXPECT_EQ(Merge({split}, ",,"), 1);

    // The description is tested before cleaning removes the tag.
    Item tagged;
    tagged.title = "x";
    tagged.description = "<b>bold</b>";
    EXPECT_EQ(Merge({tagged}, "<b>"), 1);
    EXPECT_EQ(store.At(0)->description(), "bold");

    // A missing text is never tested.
    Item bare;
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
    EXPECT_EQ(MergeReply(store, Reply(items), std::nullopt, true, &sink), 2);
    ASSERT_EQ(sink.alerts.size(), 2u);
    EXPECT_EQ(sink.alerts[0]->id, 20);
    EXPECT_EQ(sink.alerts[1]->id, 22);
    EXPECT_EQ(sink.alerts[1]->description(), "text 2");
    EXPECT_EQ(sink.alerts[1]->arrivedAt, 5000);
    EXPECT_EQ(sink.alerts[1]->read, 0);
    EXPECT_EQ(store.At(0)->description(), "text 2");

    EXPECT_EQ(MergeReply(store, Reply(items), std::nullopt, false, &sink), 2);
    EXPECT_EQ(sink.alerts.size(), 2u);
}

TEST_F(MergeReplyTest, CountDoesNotDependOnTheAppend)
{
    store.Open("deal.lst", (dir.path() / "missing" / "folder").string());
    EXPECT_EQ(Merge({Item(), Item()}), 2);
    EXPECT_EQ(store.Count(), 0u);
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
