#include "gui/app/main_menus.h"

#include "gui/app/main_tool_bar.h"
#include "gui/controls/theme_icon.h"
#include "gui/controls/time_filter_button.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace tallyhawk
{

MainMenus::MainMenus(QMainWindow& window, MainToolBar& toolBar)
    : QObject(&window)
    , window_(window)
{
    QMenu* file = AddMenu("menuFile", "&File");
    file->addAction(toolBar.newProduct());
    file->addAction(toolBar.print());
    file->addSeparator();
    exit_ = AddOwn(file, "actionExit", "E&xit", "application-exit");
    exit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Ends the program from any of its windows.
    exit_->setShortcutContext(Qt::ApplicationShortcut);
    window.addAction(exit_);

    QMenu* edit = AddMenu("menuEdit", "&Edit");
    edit->addAction(toolBar.open());
    edit->addAction(toolBar.details());
    edit->addAction(toolBar.remove());
    edit->addSeparator();
    // The search dialog's own entry: the toolbar's Find may come to do something else with its key.
    find_ = AddOwn(edit, "actionFindDialog", "&Find\u2026", "edit-find");
    find_->setEnabled(toolBar.find()->isEnabled());
    connect(find_, &QAction::triggered, toolBar.find(), &QAction::trigger);
    connect(toolBar.find(), &QAction::enabledChanged, find_, &QAction::setEnabled);
    // The menu shows the toolbar action's key; that action keeps it, so the key never acts twice.
    find_->setShortcut(toolBar.find()->shortcut());
    find_->setShortcutContext(Qt::WidgetShortcut);
    edit->addAction(toolBar.markAllRead());

    QMenu* view = AddMenu("menuView", "&View");
    auto* shown = new QActionGroup(this);
    // In the folder pane's order, Ctrl+1 to Ctrl+7.
    const struct
    {
        FolderKind folder;
        const char* objectName;
    } kFolders[] = {
        {FolderKind::TodaysSummary, "actionShowTodaysSummary"},
        {FolderKind::CouponsAndDeals, "actionShowCouponsAndDeals"},
        {FolderKind::CashBackStores, "actionShowCashBackStores"},
        {FolderKind::ShoppingList, "actionShowShoppingList"},
        {FolderKind::PurchaseHistory, "actionShowPurchaseHistory"},
        {FolderKind::PriceComparisons, "actionShowPriceComparisons"},
        {FolderKind::ForumTopics, "actionShowForumTopics"},
    };
    int key = Qt::Key_1;
    for (const auto& [folder, objectName] : kFolders) {
        QString text = FolderName(folder);
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(objectName));
        action->setCheckable(true);
        action->setShortcut(QKeySequence(Qt::CTRL | key++));
        action->setShortcutContext(Qt::WindowShortcut);
        shown->addAction(action);
        view->addAction(action);
        connect(action, &QAction::triggered, this, [this, folder = folder] { emit folderChosen(folder); });
        folders_[folder] = action;
    }
    view->addSeparator();
    QMenu* spans = view->addMenu(ThemeIcon("view-calendar"), QStringLiteral("&Time Filter"));
    spans->setObjectName(QStringLiteral("menuTimeFilter"));
    spans->addActions(toolBar.timeFilter()->menu()->actions());
    view->addSeparator();
    view->addAction(toolBar.refresh());

    QMenu* tools = AddMenu("menuTools", "&Tools");
    tools->addAction(toolBar.comparePrices());
    workshop_ = AddOwn(tools, "actionAgentWorkshop", "&Agent Workshop...", "applications-development");
    tools->addSeparator();
    tools->addAction(toolBar.settings());

    QMenu* help = AddMenu("menuHelp", "&Help");
    help->addAction(toolBar.home());
    help->addSeparator();
    // The system menu's About entry has its Linux place here.
    about_ = AddOwn(help, "actionAbout", "About...", "help-about");
    home_ = toolBar.home();
}

QMenu* MainMenus::AddMenu(const char* objectName, const char* title)
{
    QMenu* menu = window_.menuBar()->addMenu(QString::fromLatin1(title));
    menu->setObjectName(QString::fromLatin1(objectName));
    return menu;
}

QAction* MainMenus::AddOwn(QMenu* menu, const char* objectName, const char* text, const char* iconName)
{
    auto* action = new QAction(ThemeIcon(iconName), QString::fromUtf8(text), this);
    action->setObjectName(QString::fromLatin1(objectName));
    menu->addAction(action);
    return action;
}

QAction* MainMenus::folder(FolderKind folder) const
{
    auto found = folders_.find(folder);
    return found == folders_.end() ? nullptr : found->second;
}

QMenu* MainMenus::menu(const char* objectName) const
{
    return window_.menuBar()->findChild<QMenu*>(QString::fromLatin1(objectName));
}

void MainMenus::ShowFolder(FolderKind folder)
{
    if (QAction* action = this->folder(folder)) {
        action->setChecked(true);
    }
}

} // namespace tallyhawk
