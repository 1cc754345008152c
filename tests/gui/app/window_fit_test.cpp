// Runs with QT_SCALE_FACTOR=2 on one screen of 1600 by 1000 pixels: 800 by 500 in the window's units.
#include "gui/app/layout_store.h"
#include "gui/app/main_window.h"
#include "gui/app/main_window_fixture.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include <gtest/gtest.h>

#include <memory>

namespace tallyhawk
{
namespace
{

class WindowFitTest : public MainWindowFixture
{
protected:
    QString LayoutFile() const { return QString::fromStdString(dir_.File("tallyhawk-layout.ini")); }

    void SavePlacement(int left, int top, int right, int bottom)
    {
        QSettings file(LayoutFile(), QSettings::IniFormat);
        file.setValue(QStringLiteral("MainWindow/Left"), left);
        file.setValue(QStringLiteral("MainWindow/Top"), top);
        file.setValue(QStringLiteral("MainWindow/Right"), right);
        file.setValue(QStringLiteral("MainWindow/Bottom"), bottom);
    }

    std::unique_ptr<MainWindow> StartShown()
    {
        auto window = std::make_unique<MainWindow>(SettingsFile());
        Tray(*window).OverrideAvailable(true);
        window->Start(false);
        WaitForView(*window);
        return window;
    }

    static QRect Screen() { return QGuiApplication::primaryScreen()->availableGeometry(); }
};

TEST_F(WindowFitTest, TheScreenIsSmallAtScaleTwo)
{
    ASSERT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
    ASSERT_EQ(Screen().size(), QSize(800, 500));
}

TEST_F(WindowFitTest, APlacementSavedAtScaleOneFitsTheScreenAtScaleTwo)
{
    SavePlacement(40, 40, 1320, 840);
    auto window = StartShown();
    const QRect placed = window->geometry();
    EXPECT_TRUE(Screen().contains(placed))
        << placed.x() << "," << placed.y() << " " << placed.width() << "x" << placed.height();
    // All of the screen but room for the window manager's frame.
    EXPECT_GT(placed.width(), Screen().width() - 40);
    EXPECT_GT(placed.height(), Screen().height() - 80);
}

TEST_F(WindowFitTest, TheFirstStartIsNeverLargerThanTheScreen)
{
    auto window = StartShown();
    EXPECT_TRUE(Screen().contains(window->geometry()));
    EXPECT_GT(window->geometry().height(), Screen().height() - 80);
}

TEST_F(WindowFitTest, APlacementIsShrunkAndMovedOntoItsScreen)
{
    const QRect screen = Screen();
    const struct
    {
        const char* name;
        QRect saved;
        QRect fitted;
    } cases[] = {
        {"fits", QRect(10, 20, 300, 200), QRect(10, 20, 300, 200)},
        {"too wide", QRect(10, 20, 1300, 200), QRect(0, 20, screen.width(), 200)},
        {"too tall", QRect(10, 20, 300, 900), QRect(10, 0, 300, screen.height())},
        {"past the right edge", QRect(700, 20, 300, 200), QRect(screen.width() - 300, 20, 300, 200)},
        {"past the bottom", QRect(10, 450, 300, 200), QRect(10, screen.height() - 200, 300, 200)},
        {"above and left", QRect(-100, -50, 300, 200), QRect(0, 0, 300, 200)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FittedToScreen(c.saved), c.fitted) << c.name;
    }
}

} // namespace
} // namespace tallyhawk
