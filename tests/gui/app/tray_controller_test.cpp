#include "gui/app/tray_controller.h"

#include <QAction>
#include <QMenu>
#include <QPixmap>
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

TEST(TrayControllerTest, UnreadItemsAddALineToTheTipUnderTheTitle)
{
    const struct
    {
        int deals;
        int topics;
        const char* line;
    } cases[] = {
        {0, 0, ""},
        {12, 3, "Tallyhawk: 12 new deals, 3 new topics"},
        {1, 1, "Tallyhawk: 1 new deal, 1 new topic"},
        {0, 2, "Tallyhawk: 2 new topics"},
        {5, 0, "Tallyhawk: 5 new deals"},
    };
    TrayController tray{QIcon()};
    tray.SetTip(QStringLiteral("Tallyhawk - Online [127.0.0.1]"));
    for (const auto& c : cases) {
        tray.SetUnread(c.deals, c.topics);
        const QString line = QString::fromLatin1(c.line);
        EXPECT_EQ(tray.tip(),
                  line.isEmpty() ? QStringLiteral("Tallyhawk - Online [127.0.0.1]")
                                 : QStringLiteral("Tallyhawk - Online [127.0.0.1]\n") + line)
            << c.line;
    }
    // A new title keeps the counts' line.
    tray.SetUnread(2, 0);
    tray.SetTip(QStringLiteral("Tallyhawk - Offline [127.0.0.1]"));
    EXPECT_EQ(tray.tip(), QStringLiteral("Tallyhawk - Offline [127.0.0.1]\nTallyhawk: 2 new deals"));
}

TEST(TrayControllerTest, TheIconCarriesABadgeOnlyWhileItemsAreUnread)
{
    QPixmap plain(32, 32);
    plain.fill(Qt::white);
    const QIcon icon(plain);
    TrayController tray{icon};
    // Red pixels in the lower right quarter.
    const auto redInCorner = [&tray] {
        const QImage image = tray.icon().pixmap(32, 32).toImage();
        int red = 0;
        for (int y = 16; y < 32; ++y) {
            for (int x = 16; x < 32; ++x) {
                const QColor pixel = image.pixelColor(x, y);
                red += pixel.red() > 150 && pixel.green() < 100 ? 1 : 0;
            }
        }
        return red;
    };
    EXPECT_EQ(redInCorner(), 0);
    tray.SetUnread(3, 1);
    EXPECT_GT(redInCorner(), 40);
    tray.SetUnread(0, 0);
    EXPECT_EQ(redInCorner(), 0);
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
