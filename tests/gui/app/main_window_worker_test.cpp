#include "core/store/item_store.h"
#include "gui/app/main_window.h"
#include "gui/app/main_window_fixture.h"
#include "gui/views/item_list_model.h"
#include "support/held_file_lock.h"
#include "support/preset_message_boxes.h"
#include "support/scoped_lock_wait.h"

#include <QElapsedTimer>
#include <QFont>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace tallyhawk
{
namespace
{

using namespace std::chrono_literals;

// The window's file work runs behind it: another program holding a list file never stops its events,
// loads replaced by newer ones never show, and failed writes are reported.
class MainWindowWorkerTest : public MainWindowFixture
{
protected:
    static bool ShownUnread(const MainWindow& window, int row)
    {
        return ListModel(window)->index(row, 0).data(Qt::FontRole).value<QFont>().bold();
    }

    static void Choose(MainWindow& window, int row)
    {
        window.findChild<QTreeView*>(QStringLiteral("itemList"))
            ->setCurrentIndex(ListModel(window)->index(row, 0));
    }

    int ReadInFile(std::int32_t id)
    {
        ItemStore check;
        check.Open("deal.lst");
        EXPECT_EQ(check.Load(), kOk);
        for (const ItemRecord& record : check.Items()) {
            if (record.id == id) {
                return record.read;
            }
        }
        return -1;
    }
};

TEST_F(MainWindowWorkerTest, AnotherProgramsLockNeverStopsTheWindowsEvents)
{
    AddItem("deal.lst", 1, 1, "a coupon", kTen - 60);
    AddItem("deal.lst", 2, 1, "another coupon", kTen - 50);
    auto window = StartHidden();
    ASSERT_EQ(ListModel(*window)->rowCount(), 2);

    test::HeldFileLock other(dir_.File("deal.lst"), test::HeldFileLock::Kind::Exclusive);
    ASSERT_TRUE(other.held());
    QElapsedTimer clock;
    clock.start();
    qint64 ranAfter = -1;
    QTimer::singleShot(0, window.get(), [&] { ranAfter = clock.elapsed(); });
    window->RefreshView(true);
    Choose(*window, 0);
    // The old rows stay while the load waits, and the chosen one shows read at once.
    EXPECT_EQ(ListModel(*window)->rowCount(), 2);
    EXPECT_FALSE(ShownUnread(*window, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ranAfter >= 0; }, 5000));
    EXPECT_LT(ranAfter, 200);
    EXPECT_TRUE(window->busy());

    other.Release();
    ASSERT_TRUE(WaitForView(*window));
    EXPECT_EQ(ReadInFile(2), 1);
    // The load asked for before the write shows the row as the write left it.
    ASSERT_EQ(ListModel(*window)->rowCount(), 2);
    EXPECT_FALSE(ShownUnread(*window, 0));
    EXPECT_TRUE(ShownUnread(*window, 1));
}

TEST_F(MainWindowWorkerTest, OnlyTheNewestLoadIsShown)
{
    AddItem("deal.lst", 1, 1, "a coupon", kTen - 60);
    AddItem("deal.lst", 2, 1, "milk coupon", kTen - 50);
    AddItem("topic.lst", 3, 3, "a topic", kTen - 60);
    auto window = StartHidden();
    QSignalSpy loaded(window.get(), &MainWindow::viewLoaded);

    // A folder left before its rows came, then a refresh replaced by a search.
    window->ShowFolder(FolderKind::ForumTopics);
    window->ShowFolder(FolderKind::CouponsAndDeals);
    window->RefreshView(true);
    window->ApplySearch(QStringLiteral("milk"));
    ASSERT_TRUE(WaitForView(*window));
    EXPECT_EQ(loaded.count(), 1);
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("milk coupon")});
}

TEST_F(MainWindowWorkerTest, AFailedMarkReadIsReportedQuietlyAndAFailedDeleteIsTold)
{
    AddItem("deal.lst", 1, 1, "a coupon", kTen - 60);
    AddItem("deal.lst", 2, 1, "another coupon", kTen - 50);
    auto window = StartHidden();
    const test::ScopedLockWait shortWait(50ms);
    test::HeldFileLock other(dir_.File("deal.lst"), test::HeldFileLock::Kind::Exclusive);
    ASSERT_TRUE(other.held());
    PresetMessageBoxes boxes;

    Choose(*window, 0);
    ASSERT_TRUE(WaitForView(*window));
    // No box stops the user; the row stays as it was shown.
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_TRUE(window->statusBar()->currentMessage().startsWith(
        QStringLiteral("The item could not be marked as read")));
    EXPECT_FALSE(ShownUnread(*window, 0));

    Command(*window, "actionDelete")->trigger();
    EXPECT_EQ(ListModel(*window)->rowCount(), 1);
    ASSERT_TRUE(WaitForView(*window));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.lastText().startsWith(
        QStringLiteral("There was an error while deleting the selected deal(s).")));
    EXPECT_EQ(ListModel(*window)->rowCount(), 1);
    other.Release();
    EXPECT_EQ(ReadInFile(2), 0);
}

TEST_F(MainWindowWorkerTest, ShutdownWaitsForTheLoadInFlightAndShowsNothingAfter)
{
    AddItem("deal.lst", 1, 1, "a coupon", kTen - 60);
    auto window = StartHidden();
    const test::ScopedLockWait shortWait(300ms);
    test::HeldFileLock other(dir_.File("deal.lst"), test::HeldFileLock::Kind::Exclusive);
    ASSERT_TRUE(other.held());
    QSignalSpy loaded(window.get(), &MainWindow::viewLoaded);

    window->RefreshView(true);
    Choose(*window, 0);
    window->Shutdown();
    QCoreApplication::processEvents();
    EXPECT_EQ(loaded.count(), 0);
    EXPECT_EQ(ListModel(*window)->rowCount(), 1);
    // Results posted before the window went are dropped with it.
    window->RefreshView(true);
    window.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(loaded.count(), 0);
}

} // namespace
} // namespace tallyhawk
