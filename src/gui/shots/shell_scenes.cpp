#include "gui/shots/shell_scenes.h"

#include "gui/app/main_window.h"
#include "gui/controls/time_filter_button.h"

#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

namespace tallyhawk
{
namespace
{

// The deals' folder with a row chosen, so the row commands show enabled.
void ChooseADeal(MainWindow& window)
{
    WaitForView(window);
    auto* list = window.findChild<QTreeView*>(QStringLiteral("itemList"));
    if (list != nullptr && list->model()->rowCount() > 1) {
        list->selectionModel()->select(list->model()->index(1, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

// Opens `menu` below `anchor` over the deals' folder once the window is on screen and its views are
// filled (the start's refresh after new items included), without waiting for it to close.
void OpenBelow(MainWindow& window, QMenu* menu, QWidget* anchor, QRect under)
{
    window.ShowFolder(FolderKind::CouponsAndDeals);
    QTimer::singleShot(800, &window, [&window, menu, anchor, under] {
        ChooseADeal(window);
        menu->popup(anchor->mapToGlobal(under.bottomLeft()));
    });
}

} // namespace

ScreenshotScene SetUpShellScene(const QString& name, MainWindow& window)
{
    const struct
    {
        const char* scene;
        const char* menu;
    } kMenus[] = {
        {"menu-file", "menuFile"},
        {"menu-edit", "menuEdit"},
        {"menu-view", "menuView"},
        {"menu-tools", "menuTools"},
        {"menu-help", "menuHelp"},
    };
    for (const auto& entry : kMenus) {
        if (name != QLatin1String(entry.scene)) {
            continue;
        }
        auto* menu = window.menuBar()->findChild<QMenu*>(QString::fromLatin1(entry.menu));
        if (menu == nullptr) {
            return {};
        }
        OpenBelow(window, menu, window.menuBar(), window.menuBar()->actionGeometry(menu->menuAction()));
        return {&window, false, menu};
    }
    if (name == QStringLiteral("menu-time-filter")) {
        auto* button = window.findChild<TimeFilterButton*>();
        if (button == nullptr) {
            return {};
        }
        OpenBelow(window, button->menu(), button, button->rect());
        return {&window, false, button->menu()};
    }
    if (name == QStringLiteral("menu-overflow")) {
        // Narrow enough that the last commands move to the overflow menu.
        window.resize(620, 480);
        auto* more = window.findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
        if (more == nullptr || more->menu() == nullptr) {
            return {};
        }
        OpenBelow(window, more->menu(), more, more->rect());
        return {&window, false, more->menu()};
    }
    return {};
}

} // namespace tallyhawk
