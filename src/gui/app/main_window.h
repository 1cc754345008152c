#pragma once

#include "core/compare/result_list.h"
#include "core/compare/search_index.h"
#include "core/platform/browser_launcher.h"
#include "core/settings/settings.h"
#include "core/shopping/shopping_database.h"
#include "core/store/item_filter.h"
#include "core/store/item_store.h"
#include "gui/app/folder_kind.h"
#include "gui/app/view_tree.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

class QLabel;
class QStackedWidget;
class QTreeView;

namespace tallyhawk
{

class CashBackPane;
class FolderPane;
class ItemListModel;
class MainToolBar;
class TrayController;

// The main window: the folder pane, the toolbar and the view of the folder chosen, with the stores
// it shows. Its data files are the bare names in the current folder (the data folder). Closing or
// minimizing hides it in the tray; only Exit and Ctrl+Q end the program.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The settings are the user's unless another file is given (tests).
    explicit MainWindow(const std::optional<std::string>& settingsFile = std::nullopt,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    // Loads both item stores with the start-up time filter and opens the start folder, then shows the
    // window unless `startHidden` (where no tray exists it starts minimized instead).
    void Start(bool startHidden);

    void ShowFolder(FolderKind folder);
    // Sets the time filter to `span` (one of TimeSpan's), ending tonight, and refreshes.
    void ChooseTimeSpan(std::int32_t span);
    // Refills the current folder's view from its store.
    void RefreshView(bool rebuildTree);
    // Find: asks for the text (the current keyword first) and applies it.
    void Find();
    // Narrows the folder to the records with `text`, or shows it whole again for an empty text;
    // either way the store and category choice is dropped.
    void ApplySearch(const QString& text);
    // Where Find asks for its text: nothing for Cancel. The search dialog unless a test sets another.
    using SearchPrompt = std::function<std::optional<QString>(const QString& initialText)>;
    void SetSearchPrompt(SearchPrompt prompt) { searchPrompt_ = std::move(prompt); }

    // The selected row's commands: its page in the browser, its page on the site, and removal.
    void OpenSelected();
    void ShowSelectedDetails();
    void DeleteSelected();
    // The About box, from the Help menu.
    void ShowAbout();
    // Print (Ctrl+P): the print dialog, then the list's rows as they stand.
    void PrintList();

    // Where pages open; the user's browser unless a test sets another.
    void SetBrowser(std::unique_ptr<BrowserLauncher> browser) { browser_ = std::move(browser); }
    // Where failures are told; a message box unless a test sets another.
    using Notice = std::function<void(const QString& text)>;
    void SetNotice(Notice notice) { notice_ = std::move(notice); }

    // What the tray's double click and "Show Tallyhawk" do.
    void ShowFromTray();
    // Ends the program (Exit, Ctrl+Q).
    void RequestExit();

    FolderKind folder() const { return folder_; }
    std::int32_t currentSearchId() const { return currentSearchId_; }
    // Set by the start-up's weekly upkeep: the update cycle refreshes the site lists.
    bool listsRefreshDue() const { return listsRefreshDue_; }
    const ItemFilter& viewFilter() const { return viewFilter_; }
    ItemListModel* model() const { return model_; }
    MainToolBar* toolBar() const { return toolBar_; }
    FolderPane* folderPane() const { return folderPane_; }
    TrayController* tray() const { return tray_; }
    QTreeView* listView() const { return listView_; }
    CashBackPane* cashBackPane() const { return cashBackPane_; }
    // The page the right pane shows now.
    QWidget* currentPage() const;
    QString viewCaption() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Marks an unread item read, in the list and in its file.
    void RowChosen(const QModelIndex& current);
    // Narrows the list to the store, category or comparison chosen in the tree.
    void TreeChosen(ViewTree::Stands stands, std::int32_t id, const QString& text);
    // The store of the item folder shown; none in the other folders.
    ItemStore* ItemFolderStore();
    int SelectedRow() const;
    BrowserLauncher& Browser();
    // Out of sight: hidden where a tray can bring it back, else minimized.
    void PutAway();

    ItemStore deals_;
    ItemStore topics_;
    ShoppingDatabase shopping_;
    SearchIndex searches_;
    ResultList searchResults_;
    std::int32_t currentSearchId_ = 0;
    ItemFilter viewFilter_;
    FolderKind folder_ = FolderKind::None;
    bool exiting_ = false;
    bool listsRefreshDue_ = false;
    SearchPrompt searchPrompt_;
    Notice notice_;
    Settings settings_;
    std::unique_ptr<BrowserLauncher> browser_;

    MainToolBar* toolBar_;
    FolderPane* folderPane_;
    QLabel* viewCaption_;
    QStackedWidget* pages_;
    QTreeView* listView_;
    QWidget* emptyPage_;
    CashBackPane* cashBackPane_;
    ItemListModel* model_;
    TrayController* tray_;
};

} // namespace tallyhawk
