#include "core/update/alert_commands.h"
#include "gui/app/main_window.h"
#include "gui/app/main_window_fixture.h"
#include "gui/app/tray_controller.h"

#include <QItemSelectionModel>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tallyhawk
{
namespace
{

class MainWindowAlertsTest : public MainWindowFixture
{
protected:
    AlertCommands Commands() const { return AlertCommands(std::filesystem::current_path()); }

    void ChooseRow(const MainWindow& window, int row)
    {
        const QRect rect = ItemList(window)->visualRect(ListModel(window)->index(row, 0));
        QTest::mouseClick(ItemList(window)->viewport(), Qt::LeftButton, {}, rect.center());
    }
};

// The row's "Mute Store" and "Mute Category" mute what the chosen row shows, and only with a row.
TEST_F(MainWindowAlertsTest, MuteTheChosenRowsStoreOrCategory)
{
    struct Case
    {
        const char* action;
        AlertMemory::Muted what;
        const char* name;
    };
    const Case cases[] = {
        {"muteStore", AlertMemory::Muted::Store, "Corner Shop"},
        {"muteCategory", AlertMemory::Muted::Category, "Food"},
    };
    AddItem("deal.lst", 5, 2, "Kettles", kTen - 60);
    auto window = StartHidden();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        QAction* mute = Command(*window, c.action);
        ASSERT_NE(mute, nullptr);
        ItemList(*window)->selectionModel()->clearSelection();
        EXPECT_FALSE(mute->isEnabled());
        ASSERT_EQ(FirstColumn(*window).size(), 1);
        ChooseRow(*window, 0);
        ASSERT_TRUE(mute->isEnabled());
        mute->trigger();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return Commands().MutedNames(c.what) == std::vector<std::string>{c.name}; }, 5000));
    }
}

TEST_F(MainWindowAlertsTest, TheTrayPausesAlertsForAnHourAndResumesThem)
{
    auto window = StartHidden();
    TrayController& tray = Tray(*window);
    EXPECT_EQ(tray.pauseAlertsAction()->text(), QStringLiteral("Pause alerts for 1 hour"));
    EXPECT_EQ(tray.resumeAlertsAction()->text(), QStringLiteral("Resume alerts"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray.pauseAlertsAction()->isEnabled(); }, 5000));
    EXPECT_FALSE(tray.resumeAlertsAction()->isEnabled());

    tray.pauseAlertsAction()->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray.resumeAlertsAction()->isEnabled(); }, 5000));
    EXPECT_FALSE(tray.pauseAlertsAction()->isEnabled());
    EXPECT_TRUE(Commands().Paused());
    clock_.Advance(3599);
    EXPECT_TRUE(Commands().Paused());
    clock_.Advance(1);
    EXPECT_FALSE(Commands().Paused());

    clock_.Set(kTen);
    tray.resumeAlertsAction()->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray.pauseAlertsAction()->isEnabled(); }, 5000));
    EXPECT_FALSE(Commands().Paused());
}

// A pause set by the command line before the start shows in the tray.
TEST_F(MainWindowAlertsTest, APauseFromBeforeTheStartShowsInTheTray)
{
    ASSERT_TRUE(Commands().Pause());
    auto window = StartHidden();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Tray(*window).resumeAlertsAction()->isEnabled(); }, 5000));
}

} // namespace
} // namespace tallyhawk
