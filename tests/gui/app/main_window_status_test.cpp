#include "core/common/time_span.h"
#include "core/protocol/wire_message.h"
#include "core/store/item_store.h"
#include "gui/app/main_tool_bar.h"
#include "gui/app/main_window.h"
#include "gui/app/main_window_fixture.h"
#include "gui/app/tray_controller.h"
#include "gui/app/window_status_bar.h"
#include "gui/controls/time_filter_button.h"
#include "support/fake_deal_server.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

namespace tallyhawk
{
namespace
{

using namespace std::chrono_literals;
using test::FakeDealServer;

class MainWindowStatusTest : public MainWindowFixture
{
protected:
    MainWindowStatusTest() { PointAtServer(server.port()); }

    void PushAnswers()
    {
        server.PushReply(FakeDealServer::Payload(ReplyOk, {"1005", "32"}));
        for (std::int32_t request : {RequestCoupons, RequestDeals, RequestForumTopics}) {
            server.PushReply(FakeDealServer::ItemReply(request, {}));
        }
    }

    static QString Field(const MainWindow& window, const char* name)
    {
        const auto* label = Named<QLabel>(window, name);
        return label != nullptr ? label->text() : QString();
    }

    std::unique_ptr<MainWindow> StartWithTicks()
    {
        auto window = std::make_unique<MainWindow>(SettingsFile());
        Tray(*window).OverrideAvailable(true);
        window->SetDownloadInterval(50ms);
        window->Start(true);
        WaitForView(*window);
        return window;
    }

    QString Server() const { return QStringLiteral("127.0.0.1:%1").arg(server.port()); }

    FakeDealServer server;
};

TEST_F(MainWindowStatusTest, TitleAndStatusBarSayOfflineAfterAPassWithoutAnswerAndOnlineAgainAfter)
{
    PushAnswers();
    auto window = StartWithTicks();
    EXPECT_EQ(Field(*window, "connectionStatus"), QStringLiteral("Connecting to ") + Server());
    const QString online = QStringLiteral("Tallyhawk - Online [127.0.0.1]");
    const QString offline = QStringLiteral("Tallyhawk - Offline [127.0.0.1]");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Field(*window, "connectionStatus") == QStringLiteral("Online"); }, 10000));
    EXPECT_EQ(window->windowTitle(), online);
    EXPECT_EQ(Field(*window, "lastUpdateStatus"), QStringLiteral("Last update: 10:00"));

    // The next passes find the server saying nothing: offline since the first of them.
    clock_.Set(kTen + 120);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->windowTitle() == offline; }, 10000));
    clock_.Set(kTen + 300);
    const int asked = server.connectionsAccepted();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.connectionsAccepted() >= asked + 6; }, 10000));
    EXPECT_EQ(window->windowTitle(), offline);
    EXPECT_EQ(Tray(*window).tip().section(QLatin1Char('\n'), 0, 0), offline);
    EXPECT_EQ(Field(*window, "connectionStatus"),
              QStringLiteral("Offline: no answer from %1 since 10:02").arg(Server()));
    EXPECT_EQ(Field(*window, "lastUpdateStatus"), QStringLiteral("Last update: 10:00"));

    // Answers again.
    for (int pass = 0; pass < 3; ++pass) {
        PushAnswers();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->windowTitle() == online; }, 10000));
    EXPECT_EQ(Field(*window, "connectionStatus"), QStringLiteral("Online"));
    EXPECT_EQ(Field(*window, "lastUpdateStatus"), QStringLiteral("Last update: 10:05"));
}

TEST_F(MainWindowStatusTest, TheStatusBarCountsTheRowsOfTheViewOnly)
{
    AddItem("deal.lst", 1, 1, "a coupon", kTen - 60);
    AddItem("deal.lst", 2, 2, "a deal", kTen - 60);
    auto window = StartHidden();
    auto* rows = Named<QLabel>(*window, "rowsStatus");
    EXPECT_EQ(rows->text(), QStringLiteral("2 items"));
    EXPECT_FALSE(rows->isHidden());
    window->ShowFolder(FolderKind::TodaysSummary);
    WaitForView(*window);
    EXPECT_TRUE(rows->isHidden());
    window->ShowFolder(FolderKind::ForumTopics);
    WaitForView(*window);
    EXPECT_FALSE(rows->isHidden());
    EXPECT_EQ(rows->text(), QStringLiteral("0 items"));
}

TEST(WindowStatusBarTest, TimesOfAnotherDayCarryTheirDate)
{
    EXPECT_EQ(WindowStatusBar::TimeText(kTen - 3600, kTen), QStringLiteral("09:00"));
    EXPECT_EQ(WindowStatusBar::TimeText(kTen - 86400, kTen), QStringLiteral("2026-03-09 10:00"));
}

class MainWindowUnreadTest : public MainWindowFixture
{
protected:
    void AddItems()
    {
        AddItem("deal.lst", 1, 1, "a coupon", kTen - 60);
        AddItem("deal.lst", 2, 2, "a deal", kTen - 50);
        AddItem("deal.lst", 3, 2, "a read deal", kTen - 40);
        AddItem("deal.lst", 4, 2, "an old deal", kTonight - TimeSpan::kLast7Days - 1);
        AddItem("topic.lst", 5, 3, "a topic", kTen - 60);
        ItemStore deals;
        deals.Open("deal.lst");
        ASSERT_EQ(deals.MarkRead(3, 2), 3);
    }

    static QString ButtonText(const MainWindow& window, FolderKind folder)
    {
        return Pane(window)->button(folder)->text();
    }

    static int UnreadInFile(const char* file)
    {
        ItemStore store;
        store.Open(file);
        return store.CountUnread(ItemFilter());
    }
};

TEST_F(MainWindowUnreadTest, FolderButtonsAndTheTrayNameTheUnreadItemsOfTheTimeSpan)
{
    AddItems();
    auto window = StartHidden();
    // The old deal is outside the last seven days; the read one counts no more.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return ButtonText(*window, FolderKind::CouponsAndDeals) == QStringLiteral("Coupons && Deals (2)");
        },
        5000))
        << ButtonText(*window, FolderKind::CouponsAndDeals).toStdString();
    EXPECT_EQ(ButtonText(*window, FolderKind::ForumTopics), QStringLiteral("Forum Topics (1)"));
    EXPECT_EQ(ButtonText(*window, FolderKind::ShoppingList), QStringLiteral("Shopping List"));
    EXPECT_TRUE(Tray(*window).tip().endsWith(QStringLiteral("\nTallyhawk: 2 new deals, 1 new topic")))
        << Tray(*window).tip().toStdString();

    // A row the user picks is read: one fewer. The newest row is the read deal.
    QTreeView* list = ItemList(*window);
    ASSERT_TRUE(ListModel(*window)->key(1).unread);
    list->selectionModel()->select(list->model()->index(1, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return ButtonText(*window, FolderKind::CouponsAndDeals) == QStringLiteral("Coupons && Deals (1)");
        },
        5000));
    EXPECT_TRUE(Tray(*window).tip().endsWith(QStringLiteral("\nTallyhawk: 1 new deal, 1 new topic")));

    // A longer span takes the old deal in.
    Bar(*window)->timeFilter()->Choose(TimeSpan::kLast30Days);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return ButtonText(*window, FolderKind::CouponsAndDeals) == QStringLiteral("Coupons && Deals (2)");
        },
        5000));
}

TEST_F(MainWindowUnreadTest, MarkAllReadMarksTheRowsOfTheOpenViewOnly)
{
    AddItems();
    auto window = StartHidden();
    QAction* markAll = Command(*window, "actionMarkAllRead");
    ASSERT_TRUE(markAll->isEnabled());
    markAll->trigger();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return ButtonText(*window, FolderKind::CouponsAndDeals) == QStringLiteral("Coupons && Deals");
        },
        5000));
    WaitForView(*window);
    for (int row = 0; row < ListModel(*window)->rowCount(); ++row) {
        EXPECT_FALSE(ListModel(*window)->key(row).unread) << row;
    }
    // The old deal outside the view and the topic stay unread, in the files too.
    EXPECT_EQ(UnreadInFile("deal.lst"), 1);
    EXPECT_EQ(UnreadInFile("topic.lst"), 1);
    EXPECT_EQ(Tray(*window).tip().section(QLatin1Char('\n'), 1), QStringLiteral("Tallyhawk: 1 new topic"));

    // Pages without items have nothing to mark.
    window->ShowFolder(FolderKind::ShoppingList);
    EXPECT_FALSE(markAll->isEnabled());
}

} // namespace
} // namespace tallyhawk
