#include "gui/app/alert_queue.h"

#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <new>
#include <vector>

namespace tallyhawk
{
namespace
{

std::unique_ptr<ItemRecord> Alert(std::int32_t id)
{
    auto record = std::make_unique<ItemRecord>();
    record->id = id;
    record->kind = 1;
    return record;
}

// Stands in for the popups: counts itself in when opened, and closes on the test's word.
class FakePopups
{
public:
    AlertQueue::Opener Opener()
    {
        return [this](std::unique_ptr<ItemRecord> record, AlertCounters& counters) {
            ++counters.openAlerts;
            counters.maxAlerts = maxAlerts;
            open.push_back(record->id);
            opened.push_back(record->id);
        };
    }
    void CloseOldest(AlertCounters& counters)
    {
        ASSERT_FALSE(open.empty());
        open.erase(open.begin());
        --counters.openAlerts;
    }

    std::int32_t maxAlerts = 3;
    std::vector<std::int32_t> open;
    std::vector<std::int32_t> opened;
};

TEST(AlertQueueTest, FiveAlertsWithThreeOpenWaitUntilTheScreenIsClear)
{
    FakePopups popups;
    AlertQueue queue(popups.Opener());
    AlertCounters& counters = queue.counters();
    // The first three fill the screen (each popup learns that three fit).
    for (std::int32_t id = 1; id <= 3; ++id) {
        queue.Post(Alert(id));
    }
    ASSERT_EQ(popups.opened, (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(counters.openAlerts, 3);
    EXPECT_EQ(counters.maxAlerts, 3);

    for (std::int32_t id = 11; id <= 15; ++id) {
        queue.Post(Alert(id));
    }
    EXPECT_EQ(queue.waiting(), 5u);
    EXPECT_EQ(popups.opened.size(), 3u);

    // One popup closing frees a place, but a tick waits for all of them to close.
    popups.CloseOldest(counters);
    queue.Drain();
    EXPECT_EQ(queue.waiting(), 5u);
    popups.CloseOldest(counters);
    queue.Drain();
    EXPECT_EQ(queue.waiting(), 5u);
    popups.CloseOldest(counters);
    EXPECT_EQ(counters.openAlerts, 0);
    queue.Drain();
    EXPECT_EQ(popups.open, (std::vector<std::int32_t>{11, 12, 13}));
    EXPECT_EQ(queue.waiting(), 2u);

    // The last two only after those three have closed.
    queue.Drain();
    popups.CloseOldest(counters);
    popups.CloseOldest(counters);
    queue.Drain();
    EXPECT_EQ(queue.waiting(), 2u);
    popups.CloseOldest(counters);
    queue.Drain();
    EXPECT_EQ(popups.open, (std::vector<std::int32_t>{14, 15}));
    EXPECT_EQ(queue.waiting(), 0u);
    EXPECT_EQ(popups.opened, (std::vector<std::int32_t>{1, 2, 3, 11, 12, 13, 14, 15}));
}

TEST(AlertQueueTest, WithoutALimitEveryAlertOpensAtOnceAndNoRecordChangesNothing)
{
    FakePopups popups;
    popups.maxAlerts = 0;
    AlertQueue queue(popups.Opener());
    for (std::int32_t id = 1; id <= 5; ++id) {
        queue.Post(Alert(id));
    }
    EXPECT_EQ(popups.opened.size(), 5u);
    EXPECT_EQ(queue.waiting(), 0u);

    queue.Post(nullptr);
    EXPECT_EQ(popups.opened.size(), 5u);
    EXPECT_EQ(queue.counters().openAlerts, 5);
}

TEST(AlertQueueTest, ClearDropsTheWaitingAlertsAndTheTimerDrains)
{
    FakePopups popups;
    AlertQueue queue(popups.Opener());
    queue.counters().maxAlerts = 1;
    queue.counters().openAlerts = 1;
    queue.Post(Alert(1));
    queue.Post(Alert(2));
    EXPECT_EQ(queue.waiting(), 2u);
    queue.Clear();
    EXPECT_EQ(queue.waiting(), 0u);

    // A popup that cannot be made drops its alert; the next still comes.
    int tries = 0;
    queue.SetOpener([&](std::unique_ptr<ItemRecord> record, AlertCounters& counters) {
        if (++tries == 1) {
            throw std::bad_alloc();
        }
        popups.Opener()(std::move(record), counters);
    });
    queue.counters().openAlerts = 0;
    queue.Post(Alert(3));
    queue.Post(Alert(4));
    EXPECT_EQ(popups.opened, (std::vector<std::int32_t>{4}));
    EXPECT_EQ(queue.counters().openAlerts, 1);

    // The queue's timer is what shows the waiting ones once the screen is clear.
    popups.maxAlerts = 1;
    queue.counters().maxAlerts = 1;
    queue.Post(Alert(5));
    EXPECT_EQ(queue.waiting(), 1u);
    queue.StartTimer(std::chrono::milliseconds(10));
    EXPECT_TRUE(queue.timerActive());
    QTest::qWait(50);
    EXPECT_EQ(queue.waiting(), 1u);
    popups.CloseOldest(queue.counters());
    EXPECT_TRUE(QTest::qWaitFor([&] { return queue.waiting() == 0; }, 2000));
    EXPECT_EQ(popups.opened, (std::vector<std::int32_t>{4, 5}));
    queue.StopTimer();
    EXPECT_FALSE(queue.timerActive());
}

} // namespace
} // namespace tallyhawk
