#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <string>

class QAction;
class QMainWindow;
class QMenu;
class QSplitter;

namespace tallyhawk
{

class CashBackPane;
class DueNotice;
class FolderPane;
class ItemListModel;
class ItemListView;
class MainMenus;
class MainToolBar;
class SearchField;
class SummaryPage;
class TrayController;
class ViewPane;
class WindowStatusBar;

// The main window's widgets and actions, made and laid out: the menu bar, the row of commands over the
// folder pane and the view pane side by side, the tray icon, and the About and Exit (Ctrl+Q) actions.
// The window wires their signals; each has an object name to be found by.
struct WindowWidgets
{
    MainToolBar* toolBar = nullptr;
    FolderPane* folderPane = nullptr;
    DueNotice* dueNotice = nullptr;
    QSplitter* panes = nullptr;
    ViewPane* viewPane = nullptr;
    ItemListModel* model = nullptr;
    ItemListView* listView = nullptr;
    SearchField* searchField = nullptr;
    // Ctrl+F: into the search field.
    QAction* focusSearch = nullptr;
    // The chosen row's title and address, to the clipboard; the tree entry's name.
    QAction* copyTitle = nullptr;
    QAction* copyLink = nullptr;
    QAction* copyTreeName = nullptr;
    // The rows' context menu, in order (a null entry is a separator), for commands added later.
    QList<QAction*> listMenu;
    CashBackPane* cashBackPane = nullptr;
    SummaryPage* summaryPage = nullptr;
    TrayController* tray = nullptr;
    MainMenus* menus = nullptr;
    WindowStatusBar* status = nullptr;
    QAction* about = nullptr;
    QAction* exit = nullptr;

    // Builds them into `window`. The cash back pane shows `cashBackUrl`; the pages' links open
    // through `openPage`.
    static WindowWidgets Build(QMainWindow& window,
                               const std::string& cashBackUrl,
                               std::function<void(const std::string& url)> openPage);
};

} // namespace tallyhawk
