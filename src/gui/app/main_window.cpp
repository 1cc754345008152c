#include "gui/app/main_window.h"

#include "core/common/clock.h"
#include "core/common/site_addresses.h"
#include "core/common/time_span.h"
#include "core/compare/web_spider.h"
#include "core/platform/program_path.h"
#include "core/settings/site_url.h"
#include "core/shopping/shopping_filter.h"
#include "core/update/pass_runner.h"
#include "core/update/update_context.h"
#include "gui/alerts/alert_opener.h"
#include "gui/app/about_dialog.h"
#include "gui/app/alert_queue.h"
#include "gui/app/app_icon.h"
#include "gui/app/cash_back_pane.h"
#include "gui/app/due_notice.h"
#include "gui/app/folder_pane.h"
#include "gui/app/item_list_view.h"
#include "gui/app/main_tool_bar.h"
#include "gui/app/summary_page.h"
#include "gui/app/tray_controller.h"
#include "gui/app/view_pane.h"
#include "gui/app/window_placement.h"
#include "gui/app/window_update_cycle.h"
#include "gui/compare/price_comparison_run.h"
#include "gui/controls/message_boxes.h"
#include "gui/controls/record_text.h"
#include "gui/controls/time_filter_button.h"
#include "gui/folders/cash_back_folder.h"
#include "gui/folders/comparisons_folder.h"
#include "gui/folders/deals_folder.h"
#include "gui/folders/products_folder.h"
#include "gui/folders/purchases_folder.h"
#include "gui/folders/saved_product_view.h"
#include "gui/folders/summary_folder.h"
#include "gui/folders/topics_folder.h"
#include "gui/print/list_printer.h"
#include "gui/settings/settings_dialog.h"
#include "gui/shopping/product_editor.h"
#include "gui/views/item_list_model.h"
#include "gui/views/search_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <utility>

namespace tallyhawk
{
namespace
{

// The title of every message box, whatever the window title says about the connection.
QString BoxTitle()
{
    return QStringLiteral("Tallyhawk");
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
    const auto add = [this](std::unique_ptr<FolderController> folder) {
        const FolderKind kind = folder->kind();
        folders_.emplace(kind, std::move(folder));
    };
    FolderHost& host = *this;
    ShoppingDatabase& shopping = session_.shopping();
    add(std::make_unique<DealsFolder>(host, session_.deals(), session_.commands()));
    add(std::make_unique<TopicsFolder>(host, session_.topics(), session_.commands()));
    add(std::make_unique<ProductsFolder>(host, shopping, session_.commands()));
    add(std::make_unique<PurchasesFolder>(host, shopping, session_.commands()));
    add(std::make_unique<ComparisonsFolder>(host, session_.searches(), searchResults_));
    add(std::make_unique<SummaryFolder>(
        host, session_.deals(), session_.topics(), shopping, session_.hotDeals()));
    add(std::make_unique<CashBackFolder>(host));
    SavedProductView::Window productWindow;
    productWindow.folder = [this] {
        return folder_;
    };
    productWindow.showFolder = [this](FolderKind folder) {
        ShowFolder(folder);
    };
    productWindow.viewChanged = [this] {
        ui_.viewPane->SetCaption(view_.caption());
    };
    productWindow.tellDue = [this](const QString& name, std::int32_t id, std::int32_t due) {
        ui_.dueNotice->Tell(name, id, due);
    };
    productWindow.hideDue = [this] {
        ui_.dueNotice->hide();
    };
    savedProduct_ = std::make_unique<SavedProductView>(host, view_, shopping, std::move(productWindow));

    placement_ = std::make_unique<WindowPlacement>(
        WindowPlacement::LayoutFileFor(settingsFile), *this, *ui_.tray, *ui_.listView, *ui_.panes);
    connect(this, &QWidget::windowTitleChanged, ui_.tray, &TrayController::SetTip);
    connect(ui_.tray, &TrayController::showRequested, this, &MainWindow::ShowFromTray);
    connect(ui_.tray, &TrayController::settingsRequested, this, &MainWindow::ShowSettings);
    connect(ui_.tray, &TrayController::exitRequested, this, &MainWindow::RequestExit);

    // Links open through Browser() each time, since a test may replace the launcher later.
    alertQueue_ = new AlertQueue(
        MakeAlertOpener(session_.settings(),
                        [this](const std::string& url) { return Browser().Open(url, true); }),
        this);
    alertQueue_->setObjectName(QStringLiteral("alertQueue"));
    WindowUpdateCycle::Window cycleWindow;
    cycleWindow.setTitle = [this](const QString& title) {
        setWindowTitle(title);
    };
    cycleWindow.openPage = [this](const std::string& url) {
        Browser().Open(url, true);
    };
    cycleWindow.exit = [this] {
        RequestExit();
    };
    cycleWindow.refreshView = [this](bool rebuildTree) {
        RefreshView(rebuildTree);
    };
    cycleWindow.viewFilter = [this] {
        return view_.filter();
    };
    cycleWindow.dealsShown = [this] {
        return folder_ == FolderKind::CouponsAndDeals;
    };
    cycle_ = new WindowUpdateCycle(session_, runner_, *alertQueue_, std::move(cycleWindow), this);

    connect(ui_.about, &QAction::triggered, this, &MainWindow::ShowAbout);
    connect(ui_.exit, &QAction::triggered, this, &MainWindow::RequestExit);

    searchPrompt_ = [this](const QString& initialText) -> std::optional<QString> {
        SearchDialog dialog(initialText, this);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.resultText();
    };

    connect(ui_.listView, &ItemListView::deleteRequested, this, [this] {
        if (ui_.toolBar->remove()->isEnabled()) {
            ui_.toolBar->remove()->trigger();
        }
    });
    connect(ui_.listView, &ItemListView::openRequested, this, [this] {
        if (ui_.toolBar->open()->isEnabled()) {
            ui_.toolBar->open()->trigger();
        }
    });
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
    connect(ui_.toolBar->newProduct(), &QAction::triggered, this, &MainWindow::NewProduct);
    connect(ui_.toolBar->comparePrices(), &QAction::triggered, this, &MainWindow::ComparePrices);
    connect(ui_.toolBar->home(), &QAction::triggered, this, [this] {
        Browser().Open(SiteRootUrl(SiteBaseUrl(session_.settings())), true);
    });
    connect(ui_.toolBar->settings(), &QAction::triggered, this, &MainWindow::ShowSettings);
    connect(ui_.summaryPage, &SummaryPage::folderChosen, this, &MainWindow::ShowFolder);
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
    const auto spider = [this]() -> WebSpider& {
        if (!spider_) {
            spider_ = std::make_unique<WebSpider>();
        }
        return *spider_;
    };
    SetPriceComparisonRunner([spider](QWidget* parent, const QString& itemName) {
        return RunPriceComparison(parent, spider(), itemName);
    });
    SetProductEditorOpener(
        [this, spider](QWidget* parent, ShoppingDatabase& shopping, std::int32_t kind, std::int32_t id) {
            ProductEditor::Services services;
            services.siteBaseUrl = SiteBaseUrl(session_.settings());
            services.browser = &Browser();
            services.comparePrices = [spider](QWidget* owner, const QString& name, const QString& category) {
                return RunPriceComparison(owner, spider(), name, category);
            };
            return ProductEditor::Edit(parent, shopping, kind, id, services);
        });
}

void MainWindow::SetAlertOpener(AlertOpener opener)
{
    alertQueue_->SetOpener(std::move(opener));
}

void MainWindow::Start(bool startHidden)
{
    // 2. The tray icon.
    ui_.tray->Show();
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
    ui_.folderPane->SetCaption(FolderName(folder));
    ui_.viewPane->SetCaption(view_.caption());
    // Rows of another folder never stand in for this one's while its own load runs.
    ui_.model->Clear();
    ui_.folderPane->tree()->clear();
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
}

void MainWindow::RefreshView(bool rebuildTree)
{
    Reload(rebuildTree, {});
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
        todayFilter_ = load.summaryDay;
        ui_.summaryPage->Fill(*load.summary);
    } else {
        ViewTree* tree = ui_.folderPane->tree();
        if (query.rebuildTree) {
            tree->clear();
        }
        if (load.tree && load.tree->comparisons) {
            tree->ShowComparisons(load.tree->searches);
        } else if (load.tree) {
            tree->ShowLists(load.tree->storeRoot, load.tree->stores, load.tree->categories);
        }
        ui_.model->Reset(std::move(load.rows));
        RowChosen({});
        ui_.listView->header()->setStretchLastSection(true);
        ui_.listView->ApplyColumnWidths();
    }
    emit viewLoaded();
}

FolderController* MainWindow::Controller() const
{
    const auto found = folders_.find(folder_);
    return found == folders_.end() ? nullptr : found->second.get();
}

std::string MainWindow::SiteBase() const
{
    return SiteBaseUrl(session_.settings());
}

void MainWindow::Write(std::function<int()> write, std::function<void(int status)> done)
{
    runner_.Write(std::move(write), std::move(done));
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
    if (chosen) {
        folder->RowChosen(current.row());
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
    // Products and purchases name their stores from the list their load read.
    ListPrinter printer(*ui_.model, ui_.model->rows().stores());
    printer.Print(this, QStringLiteral("Tallyhawk Shopping Assistant"));
}

void MainWindow::OpenSelected()
{
    if (const int row = ui_.listView->ChosenRow(); row >= 0 && Controller() != nullptr) {
        Controller()->Open(row);
    }
}

void MainWindow::ShowSelectedDetails()
{
    if (const int row = ui_.listView->ChosenRow(); row >= 0 && Controller() != nullptr) {
        Controller()->Details(row);
    }
}

void MainWindow::PurchaseSelected()
{
    if (folder_ == FolderKind::ShoppingList) {
        ShowSelectedDetails();
    }
}

void MainWindow::DeleteSelected()
{
    if (const int row = ui_.listView->ChosenRow(); row >= 0 && Controller() != nullptr) {
        Controller()->Delete(row);
    }
}

void MainWindow::RemoveRow(int row)
{
    ui_.listView->RemoveRow(row);
}

void MainWindow::NewProduct()
{
    savedProduct_->NewProduct();
}

bool MainWindow::ChooseRowOf(std::int32_t id)
{
    return ui_.listView->ChooseRowOf(id);
}

void MainWindow::ShowSaved(const ShoppingRecord& product)
{
    savedProduct_->ShowSaved(product);
}

void MainWindow::ShowDueBy(std::int32_t id, std::int32_t due)
{
    savedProduct_->ShowDueBy(id, due, DueNotice::DayText(due));
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

void MainWindow::StartInDealsToggled(bool checked)
{
    session_.settings().showSummary = checked ? 0 : 1;
    if (session_.settings().Save() < 0) {
        MessageBoxes::Tell(this,
                           BoxTitle(),
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
    ui_.viewPane->SetCaption(view_.caption());
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
    ui_.viewPane->SetCaption(view_.caption());
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
    SettingsDialog::Edit(this, session_.settings());
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

QWidget* MainWindow::currentPage() const
{
    return ui_.viewPane->currentPage();
}

QString MainWindow::viewCaption() const
{
    return ui_.viewPane->caption();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (exiting_) {
        event->accept();
        return;
    }
    event->ignore();
    placement_->PutAway();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        placement_->StateChanged();
    }
}

} // namespace tallyhawk
