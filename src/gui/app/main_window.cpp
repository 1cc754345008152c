#include "gui/app/main_window.h"

#include "core/common/clock.h"
#include "core/common/site_addresses.h"
#include "core/common/time_span.h"
#include "core/platform/program_path.h"
#include "core/settings/site_url.h"
#include "core/store/rule_preview.h"
#include "core/update/update_cycle.h"
#include "core/update/update_texts.h"
#include "gui/alerts/alert_opener.h"
#include "gui/app/about_dialog.h"
#include "gui/app/alert_queue.h"
#include "gui/app/cash_back_pane.h"
#include "gui/app/due_notice.h"
#include "gui/app/empty_state_page.h"
#include "gui/app/folder_pane.h"
#include "gui/app/item_list_view.h"
#include "gui/app/main_menus.h"
#include "gui/app/main_tool_bar.h"
#include "gui/app/program_dialogs.h"
#include "gui/app/search_field.h"
#include "gui/app/summary_page.h"
#include "gui/app/tray_controller.h"
#include "gui/app/unread_counts.h"
#include "gui/app/view_pane.h"
#include "gui/app/window_placement.h"
#include "gui/app/window_status_bar.h"
#include "gui/app/window_update_cycle.h"
#include "gui/compare/agent_workshop.h"
#include "gui/controls/message_boxes.h"
#include "gui/controls/time_filter_button.h"
#include "gui/folders/folder_controllers.h"
#include "gui/folders/saved_product_view.h"
#include "gui/print/list_printer.h"
#include "gui/settings/settings_dialog.h"
#include "gui/views/item_list_model.h"
#include "gui/views/search_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

namespace tallyhawk
{
namespace
{

// The deal server as the status bar names it.
QString ServerText(const Settings& settings)
{
    return QStringLiteral("%1:%2")
        .arg(QString::fromStdString(settings.serverAddress))
        .arg(settings.serverPort);
}

} // namespace

MainWindow::MainWindow(const std::optional<std::string>& settingsFile, QWidget* parent)
    : QMainWindow(parent)
    , session_(settingsFile)
    // A settings file of its own is a profile of its own: its autostart entry stays beside it.
    , autostart_(settingsFile ? AutostartEntry(
                     (std::filesystem::path(*settingsFile).parent_path() / "autostart" / "tallyhawk.desktop")
                         .string())
                              : AutostartEntry())
    , runner_([this](FolderController& folder, const FolderQuery& query, FolderLoad load) {
        ShowLoad(folder, query, std::move(load));
    })
{
    ui_ = WindowWidgets::Build(*this,
                               CashBackStoresUrl(SiteBaseUrl(session_.settings())),
                               [this](const std::string& url) { Browser().Open(url, true); });
    // The data files are the bare names in the current folder.
    session_.OpenStores();
    FolderHost& host = *this;
    folders_ = std::make_unique<FolderControllers>(host, session_);
    SavedProductView::Window productWindow{
        .folder = [this] { return folder_; },
        .showFolder = [this](FolderKind folder) { ShowFolder(folder); },
        .viewChanged = [this] { ShowCaption(); },
        .tellDue = [this](const QString& name,
                          std::int32_t id,
                          std::int32_t due) { ui_.dueNotice->Tell(name, id, due); },
        .hideDue = [this] { ui_.dueNotice->hide(); },
    };
    savedProduct_
        = std::make_unique<SavedProductView>(host, view_, session_.shopping(), std::move(productWindow));

    placement_ = std::make_unique<WindowPlacement>(
        WindowPlacement::LayoutFileFor(settingsFile), *this, *ui_.tray, *ui_.listView, *ui_.panes);
    connect(this, &QWidget::windowTitleChanged, ui_.tray, &TrayController::SetTip);
    connect(ui_.tray, &TrayController::showRequested, this, &MainWindow::ShowFromTray);
    connect(ui_.tray, &TrayController::settingsRequested, this, &MainWindow::ShowSettings);
    connect(ui_.tray, &TrayController::exitRequested, this, &MainWindow::RequestExit);

    alertControls_ = new AlertControls(
        *this,
        *ui_.tray,
        session_.commands().alerts(),
        // Behind the folders' work, not as a write: the view neither waits for it nor loads again.
        {.write =
             [this](std::function<int()> work, std::function<void(int)> done) {
                 runner_.Behind([work = std::move(work), done = std::move(done)] {
                     const int result = work();
                     return std::function<void()>([done, result] { done(result); });
                 });
             },
         .chosenItem = [this] { return ChosenItem(); },
         .addToShoppingList = [this](const ItemRecord& deal) { AddDealToShoppingList(deal); },
         .openDealsFolder =
             [this] {
                 ShowFromTray();
                 ShowFolder(FolderKind::CouponsAndDeals);
             },
         .tell =
             [this](const QString& text) {
                 ReportQuietly(text);
             }});
    // A row's menu also mutes its store or category.
    ui_.listMenu << nullptr << alertControls_->muteStore() << alertControls_->muteCategory();
    ui_.listView->SetMenuActions(ui_.listMenu);
    // Links open through Browser() each time, since a test may replace the launcher later.
    alertQueue_ = new AlertQueue(MakeAlertOpener(
                                     session_.settings(),
                                     [this](const std::string& url) { return Browser().Open(url, true); },
                                     alertControls_->Actions()),
                                 this);
    alertQueue_->setObjectName(QStringLiteral("alertQueue"));
    WindowUpdateCycle::Window cycleWindow{
        .setTitle = [this](const QString& title) { setWindowTitle(title); },
        .openPage = [this](const std::string& url) { Browser().Open(url, true); },
        .exit = [this] { RequestExit(); },
        .refreshView = [this](bool rebuildTree) { RefreshView(rebuildTree); },
        .serverReached = [this](bool reached) { ServerReached(reached); },
        .viewFilter = [this] { return view_.filter(); },
        .dealsShown = [this] { return folder_ == FolderKind::CouponsAndDeals; },
    };
    cycle_ = new WindowUpdateCycle(session_, runner_, *alertQueue_, std::move(cycleWindow), this);

    unread_ = new UnreadCounts(runner_, session_.deals(), session_.topics(), this);
    connect(unread_, &UnreadCounts::changed, this, &MainWindow::ShowUnread);
    // A row marked read, rows come or go: the counts and the status bar follow.
    connect(ui_.model, &QAbstractItemModel::dataChanged, this, [this] { unread_->Recount(view_.filter()); });
    connect(ui_.model, &QAbstractItemModel::modelReset, this, &MainWindow::ShowRowCount);
    connect(ui_.model, &QAbstractItemModel::rowsInserted, this, &MainWindow::ShowRowCount);
    connect(ui_.model, &QAbstractItemModel::rowsRemoved, this, &MainWindow::ShowRowCount);
    connect(ui_.menus, &MainMenus::folderChosen, this, &MainWindow::ShowFolder);
    connect(ui_.toolBar->markAllRead(), &QAction::triggered, this, &MainWindow::MarkAllRead);

    connect(ui_.about, &QAction::triggered, this, &MainWindow::ShowAbout);
    connect(ui_.exit, &QAction::triggered, this, &MainWindow::RequestExit);

    searchPrompt_ = [this](const QString& initialText) {
        return SearchDialog::Ask(initialText, this);
    };

    // A disabled command ignores its trigger, so keys on the list do nothing without a chosen row.
    connect(ui_.listView, &ItemListView::deleteRequested, ui_.toolBar->remove(), &QAction::trigger);
    connect(ui_.listView, &ItemListView::openRequested, ui_.toolBar->open(), &QAction::trigger);
    connect(ui_.toolBar->open(), &QAction::triggered, this, &MainWindow::OpenSelected);
    connect(ui_.toolBar->details(), &QAction::triggered, this, &MainWindow::ShowSelectedDetails);
    connect(ui_.toolBar->remove(), &QAction::triggered, this, &MainWindow::DeleteSelected);
    connect(ui_.toolBar->find(), &QAction::triggered, this, &MainWindow::Find);
    connect(ui_.toolBar->print(), &QAction::triggered, this, &MainWindow::PrintList);
    connect(ui_.listView, &ItemListView::rowChosen, this, &MainWindow::RowChosen);
    connect(ui_.folderPane->tree(), &ViewTree::chosen, this, &MainWindow::TreeChosen);
    connect(ui_.folderPane, &FolderPane::folderChosen, this, &MainWindow::ShowFolder);
    connect(ui_.dueNotice, &DueNotice::showRequested, this, &MainWindow::ShowDueBy);
    connect(ui_.toolBar->timeFilter(), &TimeFilterButton::spanChosen, this, &MainWindow::ChooseTimeSpan);
    connect(ui_.toolBar->refresh(), &QAction::triggered, this, [this] { RefreshView(true); });
    connect(ui_.toolBar->refresh(), &QAction::triggered, ui_.cashBackPane, &CashBackPane::ReloadIfShown);
    connect(ui_.toolBar->newProduct(), &QAction::triggered, this, &MainWindow::NewProduct);
    connect(ui_.toolBar->comparePrices(), &QAction::triggered, this, &MainWindow::ComparePrices);
    connect(ui_.toolBar->home(), &QAction::triggered, this, [this] {
        Browser().Open(SiteRootUrl(SiteBaseUrl(session_.settings())), true);
    });
    connect(ui_.toolBar->settings(), &QAction::triggered, this, &MainWindow::ShowSettings);
    connect(ui_.menus->agentWorkshop(), &QAction::triggered, this, &MainWindow::ShowAgentWorkshop);
    connect(ui_.viewPane->emptyStatePage(), &EmptyStatePage::stepChosen, this, &MainWindow::EmptyStepChosen);
    connect(ui_.summaryPage, &SummaryPage::folderChosen, this, &MainWindow::ShowFolder);
    // The search field searches as the Find command does, and only where it may.
    connect(ui_.searchField, &SearchField::searchChanged, this, &MainWindow::ApplySearch);
    connect(
        ui_.searchField, &SearchField::leaveRequested, ui_.listView, [this] { ui_.listView->setFocus(); });
    connect(ui_.toolBar->find(), &QAction::enabledChanged, ui_.searchField, &QWidget::setEnabled);
    connect(ui_.focusSearch, &QAction::triggered, this, [this] {
        if (ui_.searchField->isEnabled() && ui_.searchField->isVisible()) {
            ui_.searchField->setFocus(Qt::ShortcutFocusReason);
            ui_.searchField->selectAll();
        }
    });
    connect(ui_.copyTitle, &QAction::triggered, this, [this] { CopyChosen(false); });
    connect(ui_.copyLink, &QAction::triggered, this, [this] { CopyChosen(true); });
    connect(ui_.copyTreeName, &QAction::triggered, this, [this] {
        if (const QTreeWidgetItem* item = ui_.folderPane->tree()->currentItem()) {
            QGuiApplication::clipboard()->setText(item->text(0));
        }
    });
    connect(ui_.summaryPage, &SummaryPage::quickTaskChosen, this, &MainWindow::QuickTaskChosen);
    connect(ui_.summaryPage->startInDeals(), &QCheckBox::toggled, this, &MainWindow::StartInDealsToggled);
    UpdateHookCommands();
}

MainWindow::~MainWindow()
{
    Shutdown();
}

void MainWindow::UseProgramDialogs()
{
    SetPriceComparisonRunner(dialogs_.PriceComparison());
    SetProductEditorOpener(dialogs_.ProductEditor([this] { return SiteBase(); },
                                                  [this]() -> BrowserLauncher& { return Browser(); }));
    dealProduct_ = dialogs_.ProductFromDeal([this] { return SiteBase(); },
                                            [this]() -> BrowserLauncher& { return Browser(); });
}

void MainWindow::Start(bool startHidden)
{
    // 2. The tray icon.
    ui_.tray->Show();
    ui_.status->SetServer(ServerText(session_.settings()));
    // 6. Weekly upkeep, ahead of every load.
    cycle_->RunWeeklyUpkeep();
    // 9. The first choice of the time filter runs with no folder yet and shows nothing.
    ui_.toolBar->timeFilter()->Choose(TimeSpan::kLast7Days);
    // 10. The start page; Coupons & Deals is filled at once rather than at the next refresh. The summary
    // page counts today whenever its folder opens, so it has no fill of its own here.
    const bool showSummary = session_.settings().showSummary != 0;
    {
        const QSignalBlocker quiet(ui_.summaryPage->startInDeals());
        ui_.summaryPage->startInDeals()->setChecked(!showSummary);
    }
    ShowFolder(showSummary ? FolderKind::TodaysSummary : FolderKind::CouponsAndDeals);
    // Both stores and the update cycle (11). A shown summary page goes on screen first: its counts need
    // neither store's view.
    if (folder_ == FolderKind::TodaysSummary && !startHidden) {
        cycle_->LoadStoresAfterPaint(ui_.summaryPage);
    } else {
        cycle_->LoadStoresAndStart(startHidden);
    }
    // 12. The list columns and the folder pane as they were saved.
    placement_->RestoreSizes();
    // 13. The autostart entry starts this very program hidden at login, or is removed.
    if (session_.settings().autoRun == 1) {
        autostart_.Write(CurrentExecutablePath().string());
    } else {
        autostart_.Remove();
    }
    // 14. Shown, or kept in the tray: a shown start takes the saved placement now, a hidden one at the
    // first show from the tray.
    placement_->ShowAtStart(startHidden);
}

void MainWindow::ShowFolder(FolderKind folder)
{
    savedProduct_->EndDueView();
    view_.ShowFolder(folder);
    folder_ = folder;
    // A load of the folder left is not shown.
    runner_.Drop();
    ui_.toolBar->ShowCaptions(Controller() != nullptr ? Controller()->captions() : FolderCaptions{});
    if (QPushButton* button = ui_.folderPane->button(folder)) {
        button->setChecked(true);
    }
    ui_.menus->ShowFolder(folder);
    ui_.toolBar->markAllRead()->setEnabled(folder == FolderKind::CouponsAndDeals
                                           || folder == FolderKind::ForumTopics);
    ui_.folderPane->SetCaption(FolderName(folder));
    ShowCaption();
    // Rows of another folder never stand in for this one's while its own load runs.
    ui_.model->Clear();
    ui_.folderPane->tree()->clear();
    shownFolder_ = nullptr;
    shownQuery_.reset();
    treeQuery_.reset();
    ui_.listView->ApplyColumnWidths();
    ui_.viewPane->ShowPageOf(Controller());
    RefreshView(true);
}

void MainWindow::ChooseTimeSpan(std::int32_t span)
{
    savedProduct_->EndDueView();
    const TimeSpan times = TimeSpan::EndingToday(span, Clock::Now());
    view_.SetRange(times.from, times.to);
    RefreshView(true);
    unread_->Recount(view_.filter());
}

void MainWindow::Reload(bool rebuildTree, std::function<void()> shown)
{
    if (FolderController* folder = Controller(); !shutDown_ && folder != nullptr && folder->HasLoad()) {
        runner_.Load(*folder,
                     FolderQuery{view_.filter(), view_.searchId(), rebuildTree, SiteBase(), Clock::Now()},
                     std::move(shown));
    }
}

void MainWindow::ShowLoad(FolderController& folder, const FolderQuery& query, FolderLoad load)
{
    folder.Shown(query);
    if (load.summary) {
        ui_.summaryPage->Fill(*load.summary);
    } else {
        ShowTree(query, load);
        // A newer load of the rows on screen (a pass that stored items, a refresh) goes in place.
        if (shownFolder_ == &folder && shownQuery_ && shownQuery_->SameView(query)) {
            ui_.listView->TakeRows(std::move(load.rows));
        } else {
            ui_.model->Reset(std::move(load.rows));
            RowChosen({});
        }
        shownFolder_ = &folder;
        shownQuery_ = query;
        ShowEmptyState();
        ui_.listView->header()->setStretchLastSection(true);
        ui_.listView->ApplyColumnWidths();
    }
    ShowRowCount();
    unread_->Recount(view_.filter());
    emit viewLoaded();
}

void MainWindow::ShowTree(const FolderQuery& query, const FolderLoad& load)
{
    ViewTree* tree = ui_.folderPane->tree();
    tree->Show(load.tree, query.rebuildTree);
    if (load.tree) {
        treeQuery_ = query;
        tree->CountRows(load.rows);
        MarkTreeChoice();
    } else if (treeQuery_ && treeQuery_->SameView(query)) {
        tree->CountRows(load.rows);
    }
}

void MainWindow::MarkTreeChoice()
{
    ViewTree* tree = ui_.folderPane->tree();
    const ItemFilter& filter = view_.filter();
    if (folder_ == FolderKind::PriceComparisons) {
        // After a comparison run the comparison shown is the one chosen in the tree, as a click would
        // have made it.
        if (const std::optional<QString> name
            = tree->ShowChosen(ViewTree::Stands::Comparison, view_.searchId())) {
            view_.ChooseSearch(view_.searchId(), *name);
            ShowCaption();
        }
    } else if (filter.storeId > 0) {
        tree->ShowChosen(ViewTree::Stands::Store, filter.storeId);
    } else if (filter.categoryId > 0) {
        tree->ShowChosen(ViewTree::Stands::Category, filter.categoryId);
    }
}

void MainWindow::RemoveRow(int row)
{
    const RowKey key = ui_.model->key(row);
    ui_.listView->RemoveRow(row);
    ui_.folderPane->tree()->RowRemoved(key.storeId, key.categoryId);
}

void MainWindow::ShowCaption()
{
    ui_.viewPane->SetCaption(view_.caption());
    const std::optional<std::string>& keyword = view_.filter().keyword;
    const QString text = keyword ? QString::fromStdString(*keyword) : QString();
    if (ui_.searchField->text() != text) {
        ui_.searchField->ShowText(text);
    }
}

void MainWindow::CopyChosen(bool link)
{
    const int row = ui_.listView->ChosenRow();
    if (row < 0 || Controller() == nullptr) {
        return;
    }
    QGuiApplication::clipboard()->setText(link ? QString::fromStdString(Controller()->Link(row))
                                               : ui_.model->index(row, 0).data().toString());
}

std::string MainWindow::SiteBase() const
{
    return SiteBaseUrl(session_.settings());
}

void MainWindow::ReportQuietly(const QString& text)
{
    statusBar()->showMessage(text);
}

BrowserLauncher& MainWindow::Browser()
{
    // The lookup starts programs; only a command that opens a page needs it.
    if (!browser_) {
        browser_ = std::make_unique<BrowserLauncher>();
    }
    return *browser_;
}

void MainWindow::RowChosen(const QModelIndex& current)
{
    FolderController* folder = Controller();
    const bool chosen
        = current.isValid() && folder != nullptr && folder->page() == FolderController::Page::List;
    ui_.toolBar->open()->setEnabled(chosen && folder->CanOpen());
    ui_.toolBar->remove()->setEnabled(chosen);
    ui_.toolBar->details()->setEnabled(chosen && folder->HasDetails());
    ui_.copyTitle->setEnabled(chosen);
    ui_.copyLink->setEnabled(chosen && !folder->Link(current.row()).empty());
    if (chosen) {
        folder->RowChosen(current.row());
    }
    alertControls_->RowChanged();
}

std::optional<ItemRecord> MainWindow::ChosenItem() const
{
    const QModelIndex current = ui_.listView->selectionModel()->selectedRows().value(0);
    const FolderController* folder = Controller();
    if (!current.isValid() || folder == nullptr || folder->page() != FolderController::Page::List) {
        return std::nullopt;
    }
    const RowRecord record = ui_.model->record(current.row());
    const ItemRecord* const* item = std::get_if<const ItemRecord*>(&record);
    return item != nullptr && *item != nullptr ? std::optional<ItemRecord>(**item) : std::nullopt;
}

void MainWindow::AddDealToShoppingList(const ItemRecord& deal)
{
    if (!dealProduct_) {
        return;
    }
    if (std::optional<ShoppingRecord> saved = dealProduct_(this, session_.shopping(), deal)) {
        ShowSaved(*saved);
    }
}

void MainWindow::ShowAbout()
{
    const std::string home = SiteRootUrl(SiteBaseUrl(session_.settings()));
    AboutDialog about(
        QString::fromStdString(home), [this, home] { Browser().Open(home, true); }, this);
    about.exec();
}

void MainWindow::PrintList()
{
    // An empty list would start no job; the user hears why rather than nothing.
    if (ui_.model->rowCount() == 0) {
        MessageBoxes::Tell(this,
                           QStringLiteral("Tallyhawk"),
                           QStringLiteral("The list is empty, so nothing was printed."),
                           QMessageBox::Information);
        return;
    }
    // Products and purchases name their stores from the list their load read.
    const PrintScope scope{view_.caption(),
                           TimeFilterButton::SpanText(ui_.toolBar->timeFilter()->span()),
                           view_.filter().from,
                           view_.filter().to};
    ListPrinter printer(*ui_.model, ui_.model->rows().stores(), scope);
    printer.Print(this, QStringLiteral("Tallyhawk Shopping Assistant"));
}

void MainWindow::MarkAllRead()
{
    if (folder_ != FolderKind::CouponsAndDeals && folder_ != FolderKind::ForumTopics) {
        return;
    }
    std::vector<std::pair<std::int32_t, std::int32_t>> keys;
    ItemListModel& rows = *ui_.model;
    for (int row = 0; row < rows.rowCount(); ++row) {
        if (const RowKey key = rows.key(row); key.unread) {
            keys.emplace_back(key.id, key.kind);
            rows.MarkRead(row);
        }
    }
    if (keys.empty()) {
        return;
    }
    Write([commands = session_.commands(),
           keys]() mutable { return std::min(0, commands.MarkItemsRead(keys)); },
          [this](int status) {
              if (status < 0) {
                  ReportQuietly(QStringLiteral("The items could not be marked as read (error %1); they will "
                                               "show unread again.")
                                    .arg(status));
              }
          });
}

void MainWindow::ServerReached(bool reached)
{
    const Settings& settings = session_.settings();
    ui_.status->SetServer(ServerText(settings));
    ui_.status->ServerReached(reached, Clock::Now());
    setWindowTitle(QString::fromStdString(
        UpdateCycle::Title(reached ? kOnlineTitle : kOfflineTitle, settings.serverAddress)));
    // What the pass stored counts from now on.
    unread_->Recount(view_.filter());
}

void MainWindow::ShowRowCount()
{
    const FolderController* folder = Controller();
    const bool rows = folder != nullptr && folder->page() == FolderController::Page::List;
    ui_.status->SetRows(rows ? std::optional<int>(ui_.model->rowCount()) : std::nullopt);
}

void MainWindow::ShowUnread(int deals, int topics)
{
    ui_.folderPane->SetUnread(FolderKind::CouponsAndDeals, deals);
    ui_.folderPane->SetUnread(FolderKind::ForumTopics, topics);
    ui_.tray->SetUnread(deals, topics);
}

void MainWindow::OnChosenRow(void (FolderController::*command)(int row))
{
    if (const int row = ui_.listView->ChosenRow(); row >= 0 && Controller() != nullptr) {
        (Controller()->*command)(row);
    }
}

void MainWindow::PurchaseSelected()
{
    if (folder_ == FolderKind::ShoppingList) {
        ShowSelectedDetails();
    }
}

void MainWindow::ComparePrices()
{
    if (!comparisonRunner_) {
        return;
    }
    const std::int32_t saved = comparisonRunner_(this, QString());
    if (saved <= 0) {
        return;
    }
    // The switch keeps the comparison, so its offers show although no tree item is chosen.
    view_.SetSearchId(saved);
    ShowFolder(FolderKind::PriceComparisons);
}

void MainWindow::SetProductEditorOpener(ProductEditorOpener opener)
{
    productEditor_ = std::move(opener);
    UpdateHookCommands();
}

void MainWindow::SetPriceComparisonRunner(PriceComparisonRunner runner)
{
    comparisonRunner_ = std::move(runner);
    UpdateHookCommands();
}

void MainWindow::UpdateHookCommands()
{
    // New Product and Compare Prices open dialogs that are set from outside; until then they are off,
    // on the toolbar and among the quick tasks alike.
    ui_.toolBar->newProduct()->setEnabled(bool(productEditor_));
    ui_.toolBar->comparePrices()->setEnabled(bool(comparisonRunner_));
    ui_.summaryPage->quickTask(SummaryPage::QuickTask::NewProduct)->setEnabled(bool(productEditor_));
    ui_.summaryPage->quickTask(SummaryPage::QuickTask::ComparePrices)->setEnabled(bool(comparisonRunner_));
    RowChosen(ui_.listView->selectionModel()->selectedRows().value(0));
}

void MainWindow::QuickTaskChosen(SummaryPage::QuickTask task)
{
    switch (task) {
    case SummaryPage::QuickTask::ViewDeals:
        ShowFolder(FolderKind::CouponsAndDeals);
        break;
    case SummaryPage::QuickTask::FindDeals:
        ShowFolder(FolderKind::CouponsAndDeals);
        Find();
        break;
    case SummaryPage::QuickTask::ComparePrices:
        ComparePrices();
        break;
    case SummaryPage::QuickTask::NewProduct:
        NewProduct();
        break;
    case SummaryPage::QuickTask::CashBack:
        ShowFolder(FolderKind::CashBackStores);
        break;
    }
}

void MainWindow::ShowAgentWorkshop()
{
    // One workshop at a time, beside the window: agents are tried while the lists stay in use.
    if (!workshop_) {
        workshop_ = new AgentWorkshop(session_.context().folder.string(), session_.fetcher(), this);
        workshop_->setAttribute(Qt::WA_DeleteOnClose);
    }
    workshop_->show();
    workshop_->raise();
    workshop_->activateWindow();
}

void MainWindow::ShowEmptyState()
{
    if (ui_.model->rowCount() > 0) {
        ui_.viewPane->ShowEmptyState(std::nullopt);
        return;
    }
    // A Shopping List stretched to a due day says that day rather than the time filter's span.
    const std::int32_t tonight = TimeSpan::EndingToday(TimeSpan::kToday, Clock::Now()).to;
    const std::optional<QString> dueBy = view_.filter().to > tonight
        ? std::optional<QString>(DueNotice::DayText(view_.filter().to))
        : std::nullopt;
    ui_.viewPane->ShowEmptyState(
        EmptyState::For(folder_, ui_.toolBar->timeFilter()->span(), view_.filter().keyword, dueBy));
}

void MainWindow::EmptyStepChosen(EmptyState::Step step)
{
    switch (step) {
    // Through the commands, so a step does what its toolbar button does, and nothing while it is off.
    case EmptyState::Step::NewProduct:
        ui_.toolBar->newProduct()->trigger();
        break;
    case EmptyState::Step::ShowUpcoming:
        ShowDueBy(0, static_cast<std::int32_t>(Clock::Now()) + kUpcomingDays * 86400);
        break;
    case EmptyState::Step::ComparePrices:
        ui_.toolBar->comparePrices()->trigger();
        break;
    case EmptyState::Step::ClearSearch:
        ApplySearch({});
        break;
    case EmptyState::Step::LongerSpan:
        ui_.toolBar->timeFilter()->Choose(TimeSpan::kLast180Days);
        break;
    }
}

void MainWindow::StartInDealsToggled(bool checked)
{
    session_.settings().showSummary = checked ? 0 : 1;
    if (session_.settings().Save() < 0) {
        MessageBoxes::Tell(this,
                           QStringLiteral("Tallyhawk"),
                           QStringLiteral("The settings could not be saved; the start page stays as it was."),
                           QMessageBox::Warning);
    }
}

void MainWindow::TreeChosen(ViewTree::Stands stands, std::int32_t id, const QString& text)
{
    if (folder_ == FolderKind::PriceComparisons) {
        view_.ChooseSearch(id, text);
    } else if (Controller() == nullptr || Controller()->page() != FolderController::Page::List) {
        return;
    } else if (stands == ViewTree::Stands::Category) {
        view_.ChooseCategory(id, text);
    } else {
        view_.ChooseStore(id, text);
    }
    ShowCaption();
    RefreshView(false);
}

void MainWindow::Find()
{
    const std::optional<std::string>& keyword = view_.filter().keyword;
    const QString current = keyword ? QString::fromStdString(*keyword) : QString();
    if (std::optional<QString> text = searchPrompt_(current)) {
        ApplySearch(*text);
    }
}

void MainWindow::ApplySearch(const QString& text)
{
    savedProduct_->EndDueView();
    view_.Search(text);
    ShowCaption();
    RefreshView(true);
}

void MainWindow::ShowFromTray()
{
    placement_->ShowFromTray();
    RefreshView(false);
}

void MainWindow::RequestExit()
{
    exiting_ = true;
    QApplication::quit();
}

void MainWindow::ShowSettings()
{
    // The keyword boxes count among the newest stored items, read on the dialog's own thread.
    SettingsDialog::Edit(this, session_.settings(), [](bool topics) {
        ItemStore store;
        store.Open(topics ? ProgramSession::kTopicsFile : ProgramSession::kDealsFile);
        store.Load();
        std::vector<ItemRecord> items = store.Items();
        items.resize(std::min(items.size(), RulePreview::kRecentItems));
        return items;
    });
}

void MainWindow::Shutdown()
{
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    ui_.tray->Hide();
    cycle_->Stop();
    // The writes the user made land; what the worker hands back from now on is dropped.
    runner_.Stop();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Only Exit ends the program; closing puts the window away.
    event->setAccepted(exiting_);
    if (!exiting_) {
        placement_->PutAway();
    }
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        placement_->StateChanged();
    }
}

} // namespace tallyhawk
