#include "core/common/time_span.h"
#include "gui/app/main_tool_bar.h"
#include "gui/app/main_window.h"
#include "gui/app/main_window_fixture.h"
#include "gui/controls/time_filter_button.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tallyhawk
{
namespace
{

class MainWindowMenusTest : public MainWindowFixture
{
protected:
    static std::vector<std::string> Entries(const MainWindow& window, const char* menuName)
    {
        std::vector<std::string> names;
        if (const auto* menu = Named<QMenu>(window, menuName)) {
            for (const QAction* action : menu->actions()) {
                if (action->menu() != nullptr) {
                    names.push_back(action->menu()->objectName().toStdString());
                } else if (!action->isSeparator()) {
                    names.push_back(action->objectName().toStdString());
                }
            }
        }
        return names;
    }
};

TEST_F(MainWindowMenusTest, TheMenuBarCarriesEveryCommandInItsMenu)
{
    auto window = StartHidden();
    QStringList titles;
    for (const QAction* menu : window->menuBar()->actions()) {
        titles << menu->text();
    }
    EXPECT_EQ(titles,
              (QStringList{QStringLiteral("&File"),
                           QStringLiteral("&Edit"),
                           QStringLiteral("&View"),
                           QStringLiteral("&Tools"),
                           QStringLiteral("&Help")}));
    const struct
    {
        const char* menu;
        std::vector<std::string> entries;
    } cases[] = {
        {"menuFile", {"actionNewProduct", "actionPrint", "actionExit"}},
        {"menuEdit",
         {"actionOpen", "actionDetails", "actionDelete", "actionFindDialog", "actionMarkAllRead"}},
        {"menuView",
         {"actionShowTodaysSummary",
          "actionShowCouponsAndDeals",
          "actionShowCashBackStores",
          "actionShowShoppingList",
          "actionShowPurchaseHistory",
          "actionShowPriceComparisons",
          "actionShowForumTopics",
          "menuTimeFilter",
          "actionRefresh"}},
        {"menuTools", {"actionComparePrices", "actionAgentWorkshop", "actionEditSettings"}},
        {"menuHelp", {"actionHome", "actionAbout"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Entries(*window, c.menu), c.entries) << c.menu;
    }
    // Every command of the toolbar has its menu entry.
    for (QAction* command : Bar(*window)->findChild<QToolBar*>()->actions()) {
        if (!command->objectName().isEmpty()) {
            EXPECT_GE(command->associatedObjects().size(), 2) << command->objectName().toStdString();
        }
    }
}

TEST_F(MainWindowMenusTest, EntriesShowTheirShortcuts)
{
    auto window = StartHidden();
    const struct
    {
        const char* action;
        QKeySequence keys;
    } cases[] = {
        {"actionNewProduct", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {"actionPrint", QKeySequence(Qt::CTRL | Qt::Key_P)},
        {"actionExit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {"actionDelete", QKeySequence(Qt::Key_Delete)},
        {"actionMarkAllRead", QKeySequence(Qt::CTRL | Qt::Key_R)},
        {"actionRefresh", QKeySequence(Qt::Key_F5)},
        {"actionShowTodaysSummary", QKeySequence(Qt::CTRL | Qt::Key_1)},
        {"actionShowForumTopics", QKeySequence(Qt::CTRL | Qt::Key_7)},
    };
    for (const auto& c : cases) {
        if (QAction* action = Command(*window, c.action)) {
            EXPECT_EQ(action->shortcut(), c.keys) << c.action;
        }
    }
}

TEST_F(MainWindowMenusTest, TheViewMenuSwitchesFoldersAndMarksTheOneShown)
{
    auto window = StartHidden();
    EXPECT_TRUE(Command(*window, "actionShowCouponsAndDeals")->isChecked());
    Command(*window, "actionShowForumTopics")->trigger();
    WaitForView(*window);
    EXPECT_EQ(window->folder(), FolderKind::ForumTopics);
    EXPECT_FALSE(Command(*window, "actionShowCouponsAndDeals")->isChecked());
    // A folder button moves the mark too.
    Pane(*window)->button(FolderKind::ShoppingList)->click();
    WaitForView(*window);
    EXPECT_TRUE(Command(*window, "actionShowShoppingList")->isChecked());
    EXPECT_FALSE(Command(*window, "actionShowForumTopics")->isChecked());
}

TEST_F(MainWindowMenusTest, FindInTheEditMenuOpensTheSearchAndFollowsTheFolder)
{
    auto window = StartHidden();
    int asked = 0;
    window->SetSearchPrompt([&asked](const QString&) {
        ++asked;
        return std::optional<QString>();
    });
    QAction* find = Command(*window, "actionFindDialog");
    find->trigger();
    EXPECT_EQ(asked, 1);
    window->ShowFolder(FolderKind::PriceComparisons);
    EXPECT_FALSE(find->isEnabled());
    find->trigger();
    EXPECT_EQ(asked, 1);
}

TEST_F(MainWindowMenusTest, EveryCommandHasAnIconWithoutADesktopTheme)
{
    auto window = StartHidden();
    const QList<QAction*> onBar = Bar(*window)->findChild<QToolBar*>()->actions();
    std::vector<QAction*> commands(onBar.begin(), onBar.end());
    for (const char* name : {"actionMarkAllRead", "actionExit", "actionAbout", "actionFindDialog"}) {
        commands.push_back(Command(*window, name));
    }
    for (QAction* command : commands) {
        if (command == nullptr || command->objectName().isEmpty()) {
            continue; // the time filter's own button
        }
        EXPECT_FALSE(command->icon().pixmap(16, 16).isNull()) << command->objectName().toStdString();
    }
    EXPECT_FALSE(Bar(*window)->timeFilter()->icon().pixmap(16, 16).isNull());
}

TEST_F(MainWindowMenusTest, TheTimeFilterMarksItsChoiceAndKeepsItsWidth)
{
    auto window = StartHidden();
    TimeFilterButton* button = Bar(*window)->timeFilter();
    const int width = button->sizeHint().width();
    for (std::int32_t span : {TimeSpan::kToday,
                              TimeSpan::kLast3Days,
                              TimeSpan::kLast30Days,
                              TimeSpan::kLast180Days,
                              TimeSpan::kLast7Days}) {
        QAction* entry = nullptr;
        for (QAction* action : button->menu()->actions()) {
            if (action->text() == TimeFilterButton::SpanText(span)) {
                entry = action;
            }
        }
        ASSERT_NE(entry, nullptr);
        entry->trigger();
        WaitForView(*window);
        EXPECT_EQ(button->span(), span);
        int checked = 0;
        for (const QAction* action : button->menu()->actions()) {
            checked += action->isChecked() ? 1 : 0;
        }
        EXPECT_EQ(checked, 1);
        EXPECT_TRUE(entry->isChecked()) << entry->text().toStdString();
        EXPECT_EQ(button->sizeHint().width(), width) << entry->text().toStdString();
    }
    // The View menu holds the same entries.
    EXPECT_EQ(Named<QMenu>(*window, "menuTimeFilter")->actions(), button->menu()->actions());
}

TEST_F(MainWindowMenusTest, TheOverflowButtonOpensAMenuOfTheCommandsThatDidNotFit)
{
    auto window = std::make_unique<MainWindow>(SettingsFile());
    Tray(*window).OverrideAvailable(true);
    window->Start(false);
    WaitForView(*window);
    window->resize(window->minimumSizeHint().width(), 500);
    auto* bar = Bar(*window)->findChild<QToolBar*>();
    auto* more = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
    ASSERT_NE(more, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([more] { return more->isVisible(); }, 5000));

    QStringList offered;
    QTimer::singleShot(0, [&offered] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (const QAction* action : menu->actions()) {
                offered << action->objectName();
            }
            menu->close();
        }
    });
    QTest::mouseClick(more, Qt::LeftButton);
    EXPECT_TRUE(offered.contains(QStringLiteral("actionHome")))
        << offered.join(QLatin1Char(' ')).toStdString();
    EXPECT_FALSE(offered.contains(QStringLiteral("actionNewProduct")));
}

} // namespace
} // namespace tallyhawk
