#include "gui/app/tray_controller.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace tallyhawk
{
namespace
{

TEST(TrayControllerTest, MenuHasShowSettingsExitWithShowAsDefault)
{
    TrayController tray{QIcon()};
    QStringList texts;
    for (const QAction* action : tray.menu()->actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(texts,
              (QStringList{QStringLiteral("Show Tallyhawk"),
                           QStringLiteral("View Settings"),
                           QStringLiteral("-"),
                           QStringLiteral("Pause alerts for 1 hour"),
                           QStringLiteral("Resume alerts"),
                           QStringLiteral("-"),
                           QStringLiteral("Exit")}));
    EXPECT_EQ(tray.menu()->defaultAction(), tray.showAction());

    QSignalSpy shown(&tray, &TrayController::showRequested);
    QSignalSpy exited(&tray, &TrayController::exitRequested);
    tray.showAction()->trigger();
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(exited.count(), 0);
    tray.DoubleClick();
    EXPECT_EQ(shown.count(), 2);
    tray.exitAction()->trigger();
    EXPECT_EQ(exited.count(), 1);
    EXPECT_EQ(shown.count(), 2);
}

TEST(TrayControllerTest, ViewSettingsAsksForTheSettings)
{
    TrayController tray{QIcon()};
    QSignalSpy settings(&tray, &TrayController::settingsRequested);
    ASSERT_TRUE(tray.settingsAction()->isEnabled());
    tray.settingsAction()->trigger();
    EXPECT_EQ(settings.count(), 1);
}

TEST(TrayControllerTest, TipIsTheTitleCutTo127Characters)
{
    TrayController tray{QIcon()};
    tray.SetTip(QStringLiteral("Tallyhawk - 3 new coupons"));
    EXPECT_EQ(tray.tip(), QStringLiteral("Tallyhawk - 3 new coupons"));

    const QString exact(127, QLatin1Char('a'));
    tray.SetTip(exact);
    EXPECT_EQ(tray.tip(), exact);
    tray.SetTip(exact + QStringLiteral("bc"));
    EXPECT_EQ(tray.tip(), exact);
}

TEST(TrayControllerTest, AvailabilityCanBeDecidedByATest)
{
    TrayController tray{QIcon()};
    tray.OverrideAvailable(true);
    EXPECT_TRUE(tray.available());
    tray.OverrideAvailable(false);
    EXPECT_FALSE(tray.available());
}

} // namespace
} // namespace tallyhawk
