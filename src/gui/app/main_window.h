#pragma once

#include "core/platform/autostart_entry.h"
#include "core/platform/browser_launcher.h"
#include "core/store/item_filter.h"
#include "core/update/program_session.h"
#include "gui/alerts/alert_counters.h"
#include "gui/app/alert_controls.h"
#include "gui/app/alert_queue.h"
#include "gui/app/due_notice.h"
#include "gui/app/item_list_view.h"
#include "gui/app/program_dialogs.h"
#include "gui/app/summary_page.h"
#include "gui/app/view_tree.h"
#include "gui/app/window_update_cycle.h"
#include "gui/app/window_widgets.h"
#include "gui/folders/empty_state.h"
#include "gui/folders/folder_controllers.h"
#include "gui/folders/folder_host.h"
#include "gui/folders/folder_kind.h"
#include "gui/folders/folder_load.h"
#include "gui/folders/folder_runner.h"
#include "gui/folders/saved_product_view.h"
#include "gui/folders/view_state.h"

#include <QMainWindow>
#include <QPointer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace tallyhawk
{

class AgentWorkshop;
class ItemListModel;
class UnreadCounts;
class WindowPlacement;

// The main window: the folder pane, the toolbar and the view of the folder chosen, over the run's
// ProgramSession (settings, stores, passes). Its data files are the bare names in the current folder
// (the data folder). Closing or minimizing hides it in the tray; only Exit and Ctrl+Q end the program.
// Each folder's own work is its controller's (gui/folders); the widgets, the update cycle and the
// placement are types of their own; the window wires them with the commands and the controllers.
class MainWindow : public QMainWindow, private FolderHost
{
    Q_OBJECT

public:
    // The settings are the user's unless another file is given (tests); the layout file then stands
    // beside it.
    explicit MainWindow(const std::optional<std::string>& settingsFile = std::nullopt,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs the weekly upkeep, opens the start folder and loads both item stores with the start-up time
    // filter (all on the worker, in that order), starts the update cycle once they are loaded, and
    // shows the window unless `startHidden` (where no tray exists it starts minimized instead).
    void Start(bool startHidden);
    // Ends the run in order: tray icon, timers, waiting alerts, the running pass (stopped at a safe
    // point and joined), then the folders' worker (what was posted runs, then it is joined; results
    // it hands back are dropped). The stores go with the window. Runs once; the destructor calls it too.
    void Shutdown();

    void ShowFolder(FolderKind folder);
    // Sets the time filter to `span` (one of TimeSpan's), ending tonight, and refreshes.
    void ChooseTimeSpan(std::int32_t span);
    // Refills the current folder's view from its store. The load runs on the worker; the old rows stay
    // until the new ones show (viewLoaded), and a newer load replaces one not shown yet.
    void RefreshView(bool rebuildTree) { Reload(rebuildTree, {}); }
    // Find: asks for the text (the current keyword first) and applies it.
    void Find();
    // Narrows the folder to the records with `text`, or shows it whole again for an empty text;
    // either way the store and category choice is dropped.
    void ApplySearch(const QString& text);
    // Where Find asks for its text: nothing for Cancel. The search dialog unless a test sets another.
    using SearchPrompt = std::function<std::optional<QString>(const QString& initialText)>;
    void SetSearchPrompt(SearchPrompt prompt) { searchPrompt_ = std::move(prompt); }

    // The selected row's commands: its page in the browser (or the product editor), its page on the
    // site (or Purchase Product), and removal with the folder's question.
    void OpenSelected() { OnChosenRow(&FolderController::Open); }
    void ShowSelectedDetails() { OnChosenRow(&FolderController::Details); }
    void DeleteSelected() { OnChosenRow(&FolderController::Delete); }
    // Marks the selected product purchased, after asking.
    void PurchaseSelected();
    // Opens the product editor on a new product, then shows the Shopping List with it.
    void NewProduct() { savedProduct_->NewProduct(); }
    // Shows the Shopping List up to the end of the day `due`, with the product `id` chosen; the folder
    // and the time filter bring the views back to their own span.
    void ShowDueBy(std::int32_t id, std::int32_t due)
    {
        savedProduct_->ShowDueBy(id, due, DueNotice::DayText(due));
    }
    // How far ahead an empty Shopping List's "Show upcoming" looks.
    static constexpr std::int32_t kUpcomingDays = 30;
    // Runs a price comparison, then shows the comparison it saved.
    void ComparePrices();

    using ProductEditorOpener = tallyhawk::ProductEditorOpener;
    // The price comparison dialogs: the id of the comparison they saved, 0 for none.
    using PriceComparisonRunner = std::function<std::int32_t(QWidget* parent, const QString& itemName)>;
    // New Product, Open in the shopping folders and Compare Prices stay disabled until these are set.
    void SetProductEditorOpener(ProductEditorOpener opener);
    void SetPriceComparisonRunner(PriceComparisonRunner runner);
    // Sets both to the program's own dialogs: the product editor and the two comparison dialogs.
    void UseProgramDialogs();
    // The About box, from the Help menu.
    void ShowAbout();
    // Print (Ctrl+P): the print dialog, then the list's rows as they stand.
    void PrintList();
    // Marks every unread row of the view read, on screen at once and in the files behind.
    void MarkAllRead();

    // Where pages open; the user's browser unless a test sets another.
    void SetBrowser(std::unique_ptr<BrowserLauncher> browser) { browser_ = std::move(browser); }
    // What the tray's double click and "Show Tallyhawk" do.
    void ShowFromTray();
    // Ends the program (Exit, Ctrl+Q, the new-version prompt, the session's end).
    void RequestExit();

    // The download timer's period the update cycle starts (180 s unless a test sets another). Before Start.
    void SetDownloadInterval(std::chrono::milliseconds interval) { cycle_->SetDownloadInterval(interval); }

    // How an alert is shown; the tray's message until a test or the popup sets another.
    using AlertOpener = std::function<void(std::unique_ptr<ItemRecord> record, AlertCounters& counters)>;
    void SetAlertOpener(AlertOpener opener) { alertQueue_->SetOpener(std::move(opener)); }

    FolderKind folder() const { return folder_; }
    // A load was asked for and its rows are not shown yet (viewLoaded follows), or a write has not
    // come back yet.
    bool busy() const { return runner_.busy(); }
    const ItemFilter& viewFilter() const { return view_.filter(); }
    // The passes' runner once the update cycle started; none before Start and after Shutdown.
    PassRunner* passes() const { return session_.passes(); }

signals:
    // The rows (or the summary's counts) of a load are shown.
    void viewLoaded();

public slots:
    // "View Settings" and "Edit Settings": the settings dialog opens here.
    void ShowSettings();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // FolderHost: what the folders' commands ask of the window.
    QWidget* DialogParent() override { return this; }
    BrowserLauncher& Browser() override;
    std::string SiteBase() const override;
    ItemListModel& Rows() override { return *ui_.model; }
    // Removes a row and leaves no row chosen, so that no other row is marked read; a tree entry left
    // without rows goes with it.
    void RemoveRow(int row) override;
    void Reload(bool rebuildTree, std::function<void()> shown) override;
    // Chooses the row of record `id`, if the list shows it.
    bool ChooseRowOf(std::int32_t id) override { return ui_.listView->ChooseRowOf(id); }
    // After a save in the Shopping List: the product chosen; when a search or the tree hides it, the
    // whole list; when it is due after the view's end, the notice that says when.
    void ShowSaved(const ShoppingRecord& product) override { savedProduct_->ShowSaved(product); }
    const ProductEditorOpener& ProductEditor() const override { return productEditor_; }
    void Write(std::function<int()> write, std::function<void(int status)> done) override
    {
        runner_.Write(std::move(write), std::move(done));
    }
    void ReportQuietly(const QString& text) override;

    // The controller of the folder shown; none before the first folder.
    FolderController* Controller() const { return folders_->Find(folder_); }
    // Runs `command` of the folder shown on the chosen row, if one is.
    void OnChosenRow(void (FolderController::*command)(int row));
    // Puts a load's rows and tree, or the summary's counts, on screen.
    void ShowLoad(FolderController& folder, const FolderQuery& query, FolderLoad load);
    // Enables the row commands for a chosen row (none: disables them) and hands the row to the folder.
    void RowChosen(const QModelIndex& current);
    // The tree of a load, its rows counted, with the view's choice marked in a rebuilt one.
    void ShowTree(const FolderQuery& query, const FolderLoad& load);
    void MarkTreeChoice();
    // The view's caption, and the search field showing the view's search text.
    void ShowCaption();
    // The chosen row's title, or its address, to the clipboard.
    void CopyChosen(bool link);
    // Narrows the list to the store, category or comparison chosen in the tree.
    void TreeChosen(ViewTree::Stands stands, std::int32_t id, const QString& text);
    void QuickTaskChosen(SummaryPage::QuickTask task);
    // The start-up check box: stores the inverse in ShowSummary and saves the settings.
    void StartInDealsToggled(bool checked);
    // After a load of a list: why it is empty and what to do next, or the rows.
    void ShowEmptyState();
    void ShowAgentWorkshop();
    void EmptyStepChosen(EmptyState::Step step);
    void UpdateHookCommands();
    // After a pass: the title and the status bar say Online or Offline, and the counts follow what it
    // stored.
    void ServerReached(bool reached);
    // The status bar's row count, for folders that show rows.
    void ShowRowCount();
    void ShowUnread(int deals, int topics);
    // The item of the chosen row of a list of items; nothing otherwise.
    std::optional<ItemRecord> ChosenItem() const;
    // Add to Shopping List: the product editor filled in from the deal, then the product shown.
    void AddDealToShoppingList(const ItemRecord& deal);

    // The settings, stores, connection and passes of this run. Declared before the controllers that
    // keep its stores and before the worker: members go in reverse order, so the worker is drained
    // and joined before the stores go.
    ProgramSession session_;
    std::unique_ptr<FolderControllers> folders_;
    ViewState view_;
    std::unique_ptr<SavedProductView> savedProduct_;
    FolderKind folder_ = FolderKind::None;
    // The folder and query of the rows on screen, and the query the tree was last built from: a newer
    // load of the same view goes in place, and a load of the tree's rows counts them again.
    FolderController* shownFolder_ = nullptr;
    std::optional<FolderQuery> shownQuery_;
    std::optional<FolderQuery> treeQuery_;
    bool exiting_ = false;
    bool shutDown_ = false;
    SearchPrompt searchPrompt_;
    // The program's own dialogs; they go after every dialog that used them.
    ProgramDialogs dialogs_;
    ProductEditorOpener productEditor_;
    // Add to Shopping List from an alert; set with the program's dialogs.
    ProgramDialogs::DealProductOpener dealProduct_;
    QPointer<AgentWorkshop> workshop_;
    // Mute, pause and resume, and what alerts offer.
    AlertControls* alertControls_ = nullptr;
    PriceComparisonRunner comparisonRunner_;
    std::unique_ptr<WindowPlacement> placement_;
    std::unique_ptr<BrowserLauncher> browser_;
    AutostartEntry autostart_;
    // The folders' loads and writes on their worker: drained and joined before anything above goes,
    // the session's stores among them.
    FolderRunner runner_;

    WindowWidgets ui_;
    AlertQueue* alertQueue_;
    WindowUpdateCycle* cycle_;
    UnreadCounts* unread_;
};

} // namespace tallyhawk
