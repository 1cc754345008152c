#include "gui/app/window_widgets.h"

#include "gui/app/app_icon.h"
#include "gui/app/cash_back_pane.h"
#include "gui/app/due_notice.h"
#include "gui/app/folder_pane.h"
#include "gui/app/item_list_view.h"
#include "gui/app/main_menus.h"
#include "gui/app/main_tool_bar.h"
#include "gui/app/search_field.h"
#include "gui/app/summary_page.h"
#include "gui/app/tray_controller.h"
#include "gui/app/view_pane.h"
#include "gui/app/view_tree.h"
#include "gui/app/window_status_bar.h"
#include "gui/views/item_list_model.h"

#include <QAction>
#include <QMainWindow>
#include <QSplitter>
#include <QVBoxLayout>

#include <utility>

namespace tallyhawk
{

namespace
{

QAction* NamedAction(QMainWindow& window, const char* objectName, const QString& text, const char* iconName)
{
    auto* action = new QAction(QIcon::fromTheme(QString::fromLatin1(iconName)), text, &window);
    action->setObjectName(QString::fromLatin1(objectName));
    return action;
}

// The search field's key and the context menus of the rows and the tree, made of the window's named
// commands: a command added to a menu is one more entry in its list.
void AddListCommands(QMainWindow& window, WindowWidgets& ui)
{
    ui.focusSearch = NamedAction(window, "actionSearch", QStringLiteral("Search"), "edit-find");
    ui.focusSearch->setShortcut(QKeySequence::Find);
    ui.focusSearch->setShortcutContext(Qt::WindowShortcut);
    window.addAction(ui.focusSearch);
    ui.copyTitle = NamedAction(window, "actionCopyTitle", QStringLiteral("Copy Title"), "edit-copy");
    ui.copyLink = NamedAction(window, "actionCopyLink", QStringLiteral("Copy Link"), "edit-copy");
    ui.copyTreeName = NamedAction(window, "actionCopyName", QStringLiteral("Copy Name"), "edit-copy");
    const MainToolBar& bar = *ui.toolBar;
    ui.listMenu = {bar.open(), bar.details(), bar.remove(), nullptr, ui.copyTitle, ui.copyLink};
    ui.listView->SetMenuActions(ui.listMenu);
    ui.folderPane->tree()->SetMenuActions({bar.refresh(), nullptr, ui.copyTreeName});
}

} // namespace

WindowWidgets WindowWidgets::Build(QMainWindow& window,
                                   const std::string& cashBackUrl,
                                   std::function<void(const std::string& url)> openPage)
{
    WindowWidgets ui;
    window.setWindowTitle(QStringLiteral("Tallyhawk"));
    const QIcon icon = AppIcon();
    window.setWindowIcon(icon);

    ui.toolBar = new MainToolBar;
    ui.toolBar->setObjectName(QStringLiteral("toolBar"));
    ui.folderPane = new FolderPane;
    ui.folderPane->setObjectName(QStringLiteral("folderPane"));
    ui.dueNotice = new DueNotice;
    ui.dueNotice->setObjectName(QStringLiteral("dueNotice"));
    ui.model = new ItemListModel(&window);
    ui.listView = new ItemListView(ui.model);
    ui.searchField = new SearchField;
    // The search field stands over the list and goes with it.
    auto* listPage = new QWidget;
    listPage->setObjectName(QStringLiteral("listPage"));
    auto* listLayout = new QVBoxLayout(listPage);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(2);
    listLayout->addWidget(ui.searchField);
    listLayout->addWidget(ui.listView, 1);
    ui.cashBackPane = new CashBackPane(QString::fromStdString(cashBackUrl),
                                       [openPage, cashBackUrl] { openPage(cashBackUrl); });
    ui.cashBackPane->setObjectName(QStringLiteral("cashBackPane"));
    ui.summaryPage = new SummaryPage(std::move(openPage));
    ui.summaryPage->setObjectName(QStringLiteral("summaryPage"));
    ui.viewPane = new ViewPane(ui.dueNotice, listPage, ui.summaryPage, ui.cashBackPane);
    ui.viewPane->setObjectName(QStringLiteral("viewPane"));
    // The folder pane is as wide as its buttons at least; dragging the splitter gives its tree room
    // for long store names.
    ui.panes = new QSplitter(Qt::Horizontal);
    ui.panes->setObjectName(QStringLiteral("panes"));
    ui.panes->addWidget(ui.folderPane);
    ui.panes->addWidget(ui.viewPane);
    ui.panes->setChildrenCollapsible(false);
    ui.panes->setStretchFactor(1, 1);
    ui.panes->setAccessibleName(QStringLiteral("Panes"));

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(ui.toolBar);
    layout->addWidget(ui.panes, 1);
    window.setCentralWidget(central);
    // Starting sizes in the proportions of the original window; layouts resize from there.
    ui.folderPane->setMinimumWidth(ui.folderPane->ButtonsWidth() + 24);
    ui.panes->setSizes({ui.folderPane->minimumWidth(), 880});
    window.resize(880, 480);

    ui.tray = new TrayController(icon, &window);
    ui.tray->setObjectName(QStringLiteral("tray"));
    ui.tray->SetTip(window.windowTitle());

    ui.menus = new MainMenus(window, *ui.toolBar);
    ui.menus->setObjectName(QStringLiteral("menus"));
    ui.status = new WindowStatusBar;
    ui.status->setObjectName(QStringLiteral("statusBar"));
    window.setStatusBar(ui.status);
    ui.about = ui.menus->about();
    ui.exit = ui.menus->exit();
    AddListCommands(window, ui);
    return ui;
}

} // namespace tallyhawk
