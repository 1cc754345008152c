#include "core/common/item_kind.h"
#include "core/settings/settings.h"
#include "core/store/alert_memory.h"
#include "core/update/alert_commands.h"
#include "core/update/alert_gate.h"
#include "support/mock_clock.h"
#include "support/scoped_zone.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tallyhawk
{
namespace
{

// Monday 2026-06-01 12:00 UTC; the tests pin UTC, so local times read as they are written.
constexpr std::int64_t kNoon = 1780315200;
constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kDay = 86400;

class Recorder : public AlertSink
{
public:
    void PostAlert(std::unique_ptr<ItemRecord> record) override { alerts.push_back(*record); }
    std::vector<ItemRecord> alerts;
};

std::unique_ptr<ItemRecord>
Deal(const char* title, const char* store = "Corner Shop", const char* category = "Garden")
{
    ItemValues values;
    values.id = 1;
    values.kind = KindNumber(ItemKind::Deal);
    values.categoryId = 2;
    values.title = title;
    values.storeName = store;
    values.categoryName = category;
    return std::make_unique<ItemRecord>(ItemRecord::Make(values, 0));
}

std::unique_ptr<ItemRecord> Topic(const char* title)
{
    ItemValues values;
    values.id = 2;
    values.kind = KindNumber(ItemKind::Topic);
    values.categoryId = 3;
    values.title = title;
    values.categoryName = "Forum";
    return std::make_unique<ItemRecord>(ItemRecord::Make(values, 0));
}

class AlertGateTest : public ::testing::Test
{
protected:
    AlertGateTest() { settings.alertAgainDays = 7; }

    // A gate as one pass makes it.
    void Post(std::unique_ptr<ItemRecord> record)
    {
        AlertGate gate(settings, dir.path(), out);
        gate.PostAlert(std::move(record));
    }
    bool Release()
    {
        AlertGate gate(settings, dir.path(), out);
        return gate.ReleaseHeld();
    }
    std::vector<std::string> Titles() const
    {
        std::vector<std::string> titles;
        for (const ItemRecord& alert : out.alerts) {
            titles.emplace_back(alert.title());
        }
        return titles;
    }

    ScopedZone zone{"UTC0"};
    MockClock clock{kNoon};
    test::TempDir dir;
    Settings settings{dir.File("settings.conf")};
    Recorder out;
};

TEST_F(AlertGateTest, TheSameDealPostedThreeTimesInADayIsAlertedOnce)
{
    Post(Deal("Sony TV 42in - $199"));
    clock.Advance(3 * kHour);
    Post(Deal("sony tv 42in $199 (2)"));
    clock.Advance(3 * kHour);
    Post(Deal("SONY  TV, 42in: $199!"));
    EXPECT_EQ(Titles(), std::vector<std::string>{"Sony TV 42in - $199"});
}

TEST_F(AlertGateTest, ARepeatIsAlertedAgainAfterTheDaysOrAlwaysWithZero)
{
    Post(Deal("Mower"));
    clock.Advance(7 * kDay - 1);
    Post(Deal("Mower"));
    EXPECT_EQ(out.alerts.size(), 1u);
    clock.Advance(1);
    Post(Deal("Mower"));
    EXPECT_EQ(out.alerts.size(), 2u);
    // Another store's deal of the same title is another deal.
    Post(Deal("Mower", "Big Shop"));
    EXPECT_EQ(out.alerts.size(), 3u);

    settings.alertAgainDays = 0;
    Post(Deal("Mower"));
    Post(Deal("Mower"));
    EXPECT_EQ(out.alerts.size(), 5u);
}

TEST_F(AlertGateTest, AMutedStoreOrCategoryIsNotAlerted)
{
    const AlertCommands commands(dir.path());
    ASSERT_TRUE(commands.Mute(AlertMemory::Muted::Store, "Corner Shop"));
    ASSERT_TRUE(commands.Mute(AlertMemory::Muted::Category, "toys"));
    Post(Deal("Rake", "corner  shop"));
    Post(Deal("Kite", "Big Shop", "Toys"));
    Post(Deal("Hose", "Big Shop"));
    EXPECT_EQ(Titles(), std::vector<std::string>{"Hose"});

    ASSERT_TRUE(commands.Unmute(AlertMemory::Muted::Store, "CORNER SHOP"));
    EXPECT_FALSE(commands.Unmute(AlertMemory::Muted::Store, "Corner Shop"));
    Post(Deal("Rake"));
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Hose", "Rake"}));
}

TEST_F(AlertGateTest, ANightOfQuietHoursEndsWithOneSummary)
{
    settings.quietHours = 1;
    settings.quietStart = 22 * 60;
    settings.quietEnd = 7 * 60;
    clock.Set(kNoon + 10 * kHour); // 22:00
    EXPECT_FALSE(Release());
    Post(Deal("Rake"));
    Post(Deal("Hose"));
    clock.Advance(3 * kHour); // 01:00
    Post(Deal("Mower"));
    Post(Topic("Which mower?"));
    // Reposted overnight: told of once.
    Post(Deal("Hose"));
    EXPECT_FALSE(Release());
    EXPECT_TRUE(out.alerts.empty());

    clock.Set(kNoon + 19 * kHour); // 07:00
    EXPECT_TRUE(Release());
    ASSERT_EQ(out.alerts.size(), 1u);
    EXPECT_EQ(out.alerts[0].kind, KindNumber(ItemKind::AwaySummary));
    EXPECT_EQ(out.alerts[0].description(), "While you were away: 3 new deals, 1 new topic");
    EXPECT_FALSE(Release());
    Post(Deal("Kite"));
    EXPECT_EQ(out.alerts.size(), 2u);
}

TEST_F(AlertGateTest, APauseHoldsAlertsUntilItEndsOrIsResumed)
{
    const AlertCommands commands(dir.path());
    ASSERT_TRUE(commands.Pause());
    EXPECT_TRUE(commands.Paused());
    Post(Deal("Rake"));
    clock.Advance(kHour - 1);
    EXPECT_FALSE(Release());
    clock.Advance(1);
    EXPECT_FALSE(commands.Paused());
    EXPECT_TRUE(Release());

    ASSERT_TRUE(commands.Pause());
    Post(Deal("Hose"));
    ASSERT_TRUE(commands.Resume());
    EXPECT_TRUE(Release());
    ASSERT_EQ(out.alerts.size(), 2u);
    EXPECT_EQ(out.alerts[1].description(), "While you were away: 1 new deal");
}

TEST_F(AlertGateTest, ProgramNoticesPassUnchanged)
{
    settings.quietHours = 1;
    settings.quietStart = 0;
    settings.quietEnd = 24 * 60 - 1;
    Post(MakeProgramNotice(3));
    Post(MakeProgramNotice(3));
    EXPECT_EQ(out.alerts.size(), 2u);
}

// Whatever the file holds, alerts still go out: the memory then remembers nothing.
TEST_F(AlertGateTest, AnUnusableMemoryFileLetsEveryAlertThrough)
{
    test::WriteFileBytes(dir.File(AlertMemory::kFileName), std::string(4096, 'x'));
    EXPECT_FALSE(AlertMemory(dir.path() / AlertMemory::kFileName).usable());
    Post(Deal("Rake"));
    Post(Deal("Rake"));
    EXPECT_EQ(out.alerts.size(), 2u);
    EXPECT_EQ(test::ReadFileBytes(dir.File(AlertMemory::kFileName)), std::string(4096, 'x'));
}

TEST_F(AlertGateTest, TheMemoryForgetsWhatIsOlderThanNinetyDays)
{
    const auto path = dir.path() / AlertMemory::kFileName;
    AlertMemory memory(path);
    ASSERT_TRUE(memory.Remember("old", 1000));
    ASSERT_TRUE(memory.Remember("new", 1000 + AlertMemory::kKeptSeconds));
    EXPECT_TRUE(memory.AlertedSince("old", 0));
    ASSERT_TRUE(memory.Remember("newer", 1001 + AlertMemory::kKeptSeconds));
    EXPECT_FALSE(memory.AlertedSince("old", 0));
    EXPECT_TRUE(memory.AlertedSince("new", 0));
}

TEST(AlertQuietHours, StartIncludedEndNotAndAcrossMidnight)
{
    ScopedZone zone{"UTC0"};
    test::TempDir dir;
    Settings settings(dir.File("settings.conf"));
    struct Case
    {
        int start;
        int end;
        int minute;
        bool quiet;
    };
    const Case cases[] = {
        {22 * 60, 7 * 60, 22 * 60, true},
        {22 * 60, 7 * 60, 23 * 60 + 59, true},
        {22 * 60, 7 * 60, 0, true},
        {22 * 60, 7 * 60, 6 * 60 + 59, true},
        {22 * 60, 7 * 60, 7 * 60, false},
        {22 * 60, 7 * 60, 12 * 60, false},
        {13 * 60, 14 * 60, 13 * 60 + 30, true},
        {13 * 60, 14 * 60, 14 * 60, false},
        {13 * 60, 14 * 60, 12 * 60 + 59, false},
        // An empty span holds nothing.
        {9 * 60, 9 * 60, 9 * 60, false},
    };
    settings.quietHours = 1;
    for (const Case& c : cases) {
        settings.quietStart = c.start;
        settings.quietEnd = c.end;
        EXPECT_EQ(
            AlertGate::InQuietHours(settings, static_cast<std::int32_t>(kNoon - 12 * kHour + c.minute * 60)),
            c.quiet)
            << c.start << "-" << c.end << " at " << c.minute;
    }
    settings.quietHours = 0;
    EXPECT_FALSE(AlertGate::InQuietHours(settings, static_cast<std::int32_t>(kNoon - 12 * kHour)));
}

// Quiet hours follow the local clock, not UTC.
TEST(AlertQuietHours, ReadInTheLocalZone)
{
    ScopedZone zone{kEasternZone};
    test::TempDir dir;
    Settings settings(dir.File("settings.conf"));
    settings.quietHours = 1;
    settings.quietStart = 22 * 60;
    settings.quietEnd = 7 * 60;
    // 03:00 UTC is 23:00 the evening before in New York (summer time).
    EXPECT_TRUE(AlertGate::InQuietHours(settings, static_cast<std::int32_t>(kNoon - 9 * kHour)));
    // 12:00 UTC is 08:00 there.
    EXPECT_FALSE(AlertGate::InQuietHours(settings, static_cast<std::int32_t>(kNoon)));
}

TEST(AlertNormalisedText, FoldsCaseDropsPunctuationAndCopyNumbers)
{
    struct Case
    {
        const char* text;
        const char* normal;
    };
    const Case cases[] = {
        {"Sony TV 42in - $199", "sony tv 42in 199"},
        {"  SONY  TV,42in: $199! (2)", "sony tv42in 199"},
        {"Deal (12)", "deal"},
        {"Deal (x)", "deal x"},
        {"(2)", ""},
        {"Caf\xC3\xA9 \xC3\x89t\xC3\xA9", "caf\xC3\xA9 \xC3\x89t\xC3\xA9"},
        {"a\tb\nc", "a b c"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NormalisedText(c.text), c.normal) << c.text;
    }
    EXPECT_NE(DealKey("a b", "c"), DealKey("a", "b c"));
}

} // namespace
} // namespace tallyhawk
