#include "gui/app/main_window.h"

#include "core/common/clock.h"
#include "core/common/display_text.h"
#include "core/common/site_addresses.h"
#include "core/common/time_span.h"
#include "core/compare/web_spider.h"
#include "core/platform/program_path.h"
#include "core/settings/site_url.h"
#include "core/shopping/shopping_filter.h"
#include "core/shopping/shopping_list_commands.h"
#include "core/update/pass_runner.h"
#include "core/update/update_context.h"
#include "core/update/weekly_upkeep.h"
#include "gui/alerts/alert_opener.h"
#include "gui/app/about_dialog.h"
#include "gui/app/alert_queue.h"
#include "gui/app/app_icon.h"
#include "gui/app/cash_back_pane.h"
#include "gui/app/due_notice.h"
#include "gui/app/folder_pane.h"
#include "gui/app/layout_store.h"
#include "gui/app/main_tool_bar.h"
#include "gui/app/row_card_delegate.h"
#include "gui/app/summary_page.h"
#include "gui/app/tray_controller.h"
#include "gui/app/window_update_host.h"
#include "gui/compare/price_comparison_run.h"
#include "gui/controls/message_boxes.h"
#include "gui/controls/record_text.h"
#include "gui/controls/time_filter_button.h"
#include "gui/print/list_printer.h"
#include "gui/settings/settings_dialog.h"
#include "gui/shopping/product_editor.h"
#include "gui/views/item_list_model.h"
#include "gui/views/list_rows.h"
#include "gui/views/search_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeView>
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

QString LayoutPathFor(const std::optional<std::string>& settingsFile)
{
    if (!settingsFile) {
        return LayoutStore::DefaultPath();
    }
    return QString::fromStdString(
        (std::filesystem::path(*settingsFile).parent_path() / "tallyhawk-layout.ini").string());
}

} // namespace

MainWindow::MainWindow(const std::optional<std::string>& settingsFile, QWidget* parent)
    : QMainWindow(parent)
    , settings_(settingsFile ? Settings(*settingsFile) : Settings())
    // A settings file of its own is a profile of its own: its autostart entry stays beside it.
    , autostart_(settingsFile ? AutostartEntry(
                     (std::filesystem::path(*settingsFile).parent_path() / "autostart" / "tallyhawk.desktop")
                         .string())
                              : AutostartEntry())
    , toolBar_(new MainToolBar)
    , folderPane_(new FolderPane)
    , viewCaption_(new QLabel)
    , dueNotice_(new DueNotice)
    , pages_(new QStackedWidget)
    , listView_(new QTreeView)
    , emptyPage_(new QWidget)
    , model_(new ItemListModel(this))
{
    layout_ = std::make_unique<LayoutStore>(LayoutPathFor(settingsFile));
    setWindowTitle(QStringLiteral("Tallyhawk"));
    const QIcon icon = AppIcon();
    setWindowIcon(icon);

    deals_.Open("deal.lst");
    topics_.Open("topic.lst");
    hotDeals_.Open("deal.lst");
    shopping_.Open();

    listView_->setModel(model_);
    listView_->setRootIsDecorated(false);
    listView_->setUniformRowHeights(true);
    listView_->setAlternatingRowColors(true);
    // One row at a time, and the commands act on it only while it shows as chosen.
    listView_->setSelectionMode(QAbstractItemView::SingleSelection);
    listView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    // The keyboard's row is framed across the whole row, chosen or not, so Enter never acts on a row the
    // user cannot see.
    listView_->setAllColumnsShowFocus(true);
    listView_->setAccessibleName(QStringLiteral("Items"));
    listView_->setItemDelegate(new RowCardDelegate(listView_));
    listView_->header()->resizeSection(0, RowCardDelegate::kCardColumnWidth);
    pages_->addWidget(listView_);
    pages_->addWidget(emptyPage_);
    const std::string cashBack = CashBackStoresUrl(SiteBaseUrl(settings_));
    cashBackPane_ = new CashBackPane(QString::fromStdString(cashBack),
                                     [this, cashBack] { Browser().Open(cashBack, true); });
    pages_->addWidget(cashBackPane_);
    summaryPage_ = new SummaryPage([this](const std::string& url) { Browser().Open(url, true); });
    pages_->addWidget(summaryPage_);

    QFont bold = viewCaption_->font();
    bold.setBold(true);
    viewCaption_->setFont(bold);
    viewCaption_->setAccessibleName(QStringLiteral("View"));

    auto* right = new QVBoxLayout;
    right->setSpacing(2);
    right->addWidget(viewCaption_);
    right->addWidget(dueNotice_);
    right->addWidget(pages_, 1);

    // The folder pane is as wide as its buttons at least; dragging the splitter gives its tree room
    // for long store names.
    auto* rightPane = new QWidget;
    right->setContentsMargins(0, 0, 0, 0);
    rightPane->setLayout(right);
    panes_ = new QSplitter(Qt::Horizontal);
    panes_->addWidget(folderPane_);
    panes_->addWidget(rightPane);
    panes_->setChildrenCollapsible(false);
    panes_->setStretchFactor(1, 1);
    panes_->setAccessibleName(QStringLiteral("Panes"));

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(toolBar_);
    layout->addWidget(panes_, 1);
    setCentralWidget(central);
    // Starting sizes in the proportions of the original window; layouts resize from there.
    folderPane_->setMinimumWidth(folderPane_->ButtonsWidth() + 24);
    panes_->setSizes({folderPane_->minimumWidth(), 880});
    resize(880, 480);

    tray_ = new TrayController(icon, this);
    tray_->SetTip(windowTitle());
    connect(this, &QWidget::windowTitleChanged, tray_, &TrayController::SetTip);
    connect(tray_, &TrayController::showRequested, this, &MainWindow::ShowFromTray);
    connect(tray_, &TrayController::settingsRequested, this, &MainWindow::ShowSettings);
    connect(tray_, &TrayController::exitRequested, this, &MainWindow::RequestExit);

    // Links open through Browser() each time, since a test may replace the launcher later.
    alertQueue_ = new AlertQueue(
        MakeAlertOpener(settings_, [this](const std::string& url) { return Browser().Open(url, true); }),
        this);
    updateHost_ = MakeUpdateHost();
    downloadTimer_ = new QTimer(this);
    connect(downloadTimer_, &QTimer::timeout, this, [this] {
        // A tick while the last pass still runs is skipped: the passes share one connection.
        if (passes_) {
            passes_->TickDownload();
        }
    });

    // The system menu's About entry has its Linux place in the Help menu.
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    connect(help->addAction(QStringLiteral("About...")), &QAction::triggered, this, &MainWindow::ShowAbout);

    auto* quit = new QAction(QStringLiteral("Exit"), this);
    quit->setObjectName(QStringLiteral("actionExit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::ApplicationShortcut);
    connect(quit, &QAction::triggered, this, &MainWindow::RequestExit);
    addAction(quit);

    searchPrompt_ = [this](const QString& initialText) -> std::optional<QString> {
        SearchDialog dialog(initialText, this);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.resultText();
    };

    // Delete acts only where the rows are, so that the key keeps its meaning in every other field.
    auto* removeKey = new QAction(this);
    removeKey->setShortcut(QKeySequence::Delete);
    removeKey->setShortcutContext(Qt::WidgetShortcut);
    connect(removeKey, &QAction::triggered, this, [this] {
        if (toolBar_->remove()->isEnabled()) {
            toolBar_->remove()->trigger();
        }
    });
    listView_->addAction(removeKey);
    // Enter on the keyboard's row picks it, as a click would, before it opens.
    connect(listView_, &QTreeView::activated, this, [this](const QModelIndex& index) {
        listView_->setCurrentIndex(index);
        if (toolBar_->open()->isEnabled()) {
            toolBar_->open()->trigger();
        }
    });
    connect(toolBar_->open(), &QAction::triggered, this, &MainWindow::OpenSelected);
    connect(toolBar_->details(), &QAction::triggered, this, &MainWindow::ShowSelectedDetails);
    connect(toolBar_->remove(), &QAction::triggered, this, &MainWindow::DeleteSelected);
    connect(toolBar_->find(), &QAction::triggered, this, &MainWindow::Find);
    connect(toolBar_->print(), &QAction::triggered, this, &MainWindow::PrintList);
    // A row counts as chosen only when it is selected: a click, a keyboard move onto it, Enter. The
    // current row alone (the view puts it on the first row when the list gets the focus) is not.
    connect(listView_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        RowChosen(SelectedIndex());
    });
    connect(folderPane_->tree(), &ViewTree::chosen, this, &MainWindow::TreeChosen);
    connect(folderPane_, &FolderPane::folderChosen, this, &MainWindow::ShowFolder);
    connect(dueNotice_, &DueNotice::showRequested, this, &MainWindow::ShowDueBy);
    connect(toolBar_->timeFilter(), &TimeFilterButton::spanChosen, this, &MainWindow::ChooseTimeSpan);
    connect(toolBar_->refresh(), &QAction::triggered, this, [this] { RefreshView(true); });
    connect(toolBar_->newProduct(), &QAction::triggered, this, &MainWindow::NewProduct);
    connect(toolBar_->comparePrices(), &QAction::triggered, this, &MainWindow::ComparePrices);
    connect(toolBar_->home(), &QAction::triggered, this, [this] {
        Browser().Open(SiteRootUrl(SiteBaseUrl(settings_)), true);
    });
    connect(toolBar_->settings(), &QAction::triggered, this, &MainWindow::ShowSettings);
    connect(summaryPage_, &SummaryPage::folderChosen, this, &MainWindow::ShowFolder);
    connect(summaryPage_, &SummaryPage::quickTaskChosen, this, &MainWindow::QuickTaskChosen);
    connect(summaryPage_->startInDeals(), &QCheckBox::toggled, this, &MainWindow::StartInDealsToggled);
    // Widths the user gives the columns are kept for the next refresh and the next save.
    connect(listView_->header(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (applyingColumns_ || width <= 0) {
            return;
        }
        if (columnWidths_.size() <= static_cast<std::size_t>(column)) {
            columnWidths_.resize(static_cast<std::size_t>(column) + 1, 0);
        }
        columnWidths_[static_cast<std::size_t>(column)] = width;
    });
    UpdateHookCommands();
}

MainWindow::~MainWindow()
{
    Shutdown();
}

WindowUpdateHost* MainWindow::MakeUpdateHost()
{
    WindowUpdateHost::Targets targets;
    targets.setTitle = [this](const QString& title) {
        setWindowTitle(title);
    };
    targets.ask = [](const QString& caption, const QString& text, std::function<void(bool)> answered) {
        // Owned by no window: the prompt comes also while the window is hidden in the tray.
        MessageBoxes::AskLater(
            nullptr, caption, text, [answered = std::move(answered)](QMessageBox::StandardButton button) {
                answered(button == QMessageBox::Yes);
            });
    };
    targets.openPage = [this](const std::string& url) {
        Browser().Open(url, true);
    };
    targets.endProgram = [this](int) {
        RequestExit();
    };
    targets.refreshView = [this](bool rebuildTree) {
        RefreshView(rebuildTree);
    };
    targets.stopTimers = [this] {
        StopTimers();
    };
    targets.startTimers = [this](std::chrono::milliseconds download, std::chrono::milliseconds alertQueue) {
        StartTimers(download, alertQueue);
    };
    targets.postAlert = [this](std::unique_ptr<ItemRecord> record) {
        alertQueue_->Post(std::move(record));
    };
    return new WindowUpdateHost(std::move(targets), this);
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
            services.siteBaseUrl = SiteBaseUrl(settings_);
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
    tray_->Show();
    // 6. Weekly upkeep. Archives before anything is loaded, so the views never hold records the
    // archive dropped.
    listsRefreshDue_
        = WeeklyUpkeep::Run(settings_, deals_, topics_, &shopping_, std::filesystem::current_path())
              .listsRefreshDue;
    // 9. The first choice of the time filter runs with no folder yet and shows nothing.
    toolBar_->timeFilter()->Choose(TimeSpan::kLast7Days);
    // 10. The start page; Coupons & Deals is filled at once rather than at the next refresh. The summary
    // page counts today whenever its folder opens, so it has no fill of its own here.
    const bool showSummary = settings_.showSummary != 0;
    {
        const QSignalBlocker quiet(summaryPage_->startInDeals());
        summaryPage_->startInDeals()->setChecked(!showSummary);
    }
    ShowFolder(showSummary ? FolderKind::TodaysSummary : FolderKind::CouponsAndDeals);
    // Both stores and the update cycle (11). A shown summary page goes on screen first: its counts need
    // neither store's view, and the loads of 100,000 items would only keep it from being painted.
    if (folder_ == FolderKind::TodaysSummary && !startHidden) {
        storesPending_ = true;
        summaryPage_->installEventFilter(this);
        // Should the page never be painted (a window the desktop keeps unmapped), the start goes on.
        QTimer::singleShot(1000, this, [this] { LoadStoresAndStartCycle(false); });
    } else {
        LoadStoresAndStartCycle(startHidden);
    }
    // 12. The list columns as they were saved.
    columnWidths_ = layout_->SavedColumns();
    ApplyColumnWidths();
    if (const int width = layout_->SavedFolderPaneWidth(); width > folderPane_->minimumWidth()) {
        panes_->setSizes({width, std::max(1, panes_->width() - width)});
    }
    // 13. The autostart entry starts this very program hidden at login, or is removed.
    if (settings_.autoRun == 1) {
        autostart_.Write(CurrentExecutablePath().string());
    } else {
        autostart_.Remove();
    }
    // 14. Shown, or kept in the tray: a shown start takes the saved placement now, a hidden one at the
    // first show from the tray.
    if (!startHidden) {
        placementRestored_ = true;
        layout_->RestorePlacement(*this);
        show();
    } else if (!tray_->available()) {
        showMinimized();
    }
}

void MainWindow::LoadStoresAndStartCycle(bool startedHidden)
{
    if (shutDown_ || storesLoaded_) {
        return;
    }
    storesPending_ = false;
    storesLoaded_ = true;
    // The update cycle asks only for ids above what a load has seen, so both stores load first (the
    // deals already are when their folder is the one shown).
    if (folder_ != FolderKind::CouponsAndDeals) {
        deals_.Load(viewFilter_);
    }
    topics_.Load(viewFilter_);
    StartUpdateCycle(startedHidden);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == summaryPage_ && event->type() == QEvent::Paint && storesPending_) {
        storesPending_ = false;
        QTimer::singleShot(0, this, [this] { LoadStoresAndStartCycle(false); });
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::ShowFolder(FolderKind folder)
{
    EndDueView();
    viewFilter_.keyword.reset();
    viewFilter_.storeId = 0;
    viewFilter_.categoryId = 0;
    // Compare Prices sets the comparison just before it switches to its folder.
    if (folder != FolderKind::PriceComparisons) {
        currentSearchId_ = 0;
    }
    folder_ = folder;
    toolBar_->ShowFolder(folder);
    if (QPushButton* button = folderPane_->button(folder)) {
        button->setChecked(true);
    }
    folderPane_->SetCaption(FolderName(folder));
    viewCaption_->setText(FolderName(folder));
    if (IsListFolder(folder)) {
        pages_->setCurrentWidget(listView_);
        RefreshView(true);
    } else if (folder == FolderKind::TodaysSummary) {
        pages_->setCurrentWidget(summaryPage_);
        model_->Clear();
        folderPane_->tree()->clear();
        RefreshView(false);
    } else {
        pages_->setCurrentWidget(folder == FolderKind::CashBackStores ? static_cast<QWidget*>(cashBackPane_)
                                                                      : emptyPage_);
        model_->Clear();
        folderPane_->tree()->clear();
    }
}

void MainWindow::ChooseTimeSpan(std::int32_t span)
{
    EndDueView();
    const TimeSpan times = TimeSpan::EndingToday(span, Clock::Now());
    viewFilter_.from = times.from;
    viewFilter_.to = times.to;
    RefreshView(true);
}

void MainWindow::RefreshView(bool rebuildTree)
{
    ViewTree* tree = folderPane_->tree();
    if (rebuildTree) {
        tree->clear();
    }
    ListRows list;
    const auto items = [&](ItemStore& store, const QString& storeRoot) {
        // A store that cannot be read leaves the list and the tree empty.
        if (store.Load(viewFilter_) != kOk) {
            return;
        }
        list = ListRows::FromItems(store.Items());
        if (rebuildTree) {
            tree->ShowLists(storeRoot, store.Stores(), store.Categories());
        }
    };
    const auto shopping = [&](std::int32_t kind) {
        shopping_.LoadView(kind, viewFilter_);
        list = ListRows::FromShopping(shopping_.ViewRecords(), shopping_.Stores(), shopping_.Categories());
        if (rebuildTree) {
            tree->ShowLists(
                QStringLiteral("All Stores"), shopping_.StoresInView(), shopping_.CategoriesInView());
        }
    };
    switch (folder_) {
    case FolderKind::CouponsAndDeals:
        items(deals_, QStringLiteral("All Stores"));
        break;
    case FolderKind::ForumTopics:
        items(topics_, QStringLiteral("All Users"));
        break;
    case FolderKind::PriceComparisons:
        if (rebuildTree) {
            searches_.Clear();
            searches_.Load(&viewFilter_);
            tree->ShowComparisons(searches_.records());
        }
        searchResults_.Clear();
        if (currentSearchId_ > 0 && searchResults_.Load(searches_.ResultsPath(currentSearchId_)) == 0) {
            list = ListRows::FromOffers(searchResults_);
        }
        break;
    case FolderKind::ShoppingList:
        shopping(ShoppingDatabase::kProducts);
        break;
    case FolderKind::PurchaseHistory:
        shopping(ShoppingDatabase::kPurchases);
        break;
    case FolderKind::TodaysSummary:
        FillSummary();
        return;
    case FolderKind::CashBackStores:
    case FolderKind::None:
        return;
    }
    model_->Reset(std::move(list));
    RowChosen({});
    listView_->header()->setStretchLastSection(true);
    ApplyColumnWidths();
}

void MainWindow::ApplyColumnWidths()
{
    applyingColumns_ = true;
    QHeaderView* header = listView_->header();
    // Columns without a saved width keep the cards' own starting widths.
    for (int column = 0; column < header->count(); ++column) {
        const auto index = static_cast<std::size_t>(column);
        if (index < columnWidths_.size() && columnWidths_[index] > 0) {
            header->resizeSection(column, columnWidths_[index]);
        }
    }
    applyingColumns_ = false;
}

ItemStore* MainWindow::ItemFolderStore()
{
    switch (folder_) {
    case FolderKind::CouponsAndDeals:
        return &deals_;
    case FolderKind::ForumTopics:
        return &topics_;
    default:
        return nullptr;
    }
}

QModelIndex MainWindow::SelectedIndex() const
{
    const QModelIndexList rows = listView_->selectionModel()->selectedRows();
    return rows.isEmpty() ? QModelIndex() : rows.front();
}

int MainWindow::SelectedRow() const
{
    const QModelIndex selected = SelectedIndex();
    return selected.isValid() ? selected.row() : -1;
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
    const bool chosen = current.isValid() && IsListFolder(folder_);
    const bool shoppingFolder = folder_ == FolderKind::ShoppingList || folder_ == FolderKind::PurchaseHistory;
    ItemStore* store = ItemFolderStore();
    // Products open in the product editor, which stays off until it is there.
    toolBar_->open()->setEnabled(chosen && (!shoppingFolder || productEditor_));
    toolBar_->remove()->setEnabled(chosen);
    // Details is the item's page on the site, or Purchase Product; comparison results and purchases
    // have none.
    toolBar_->details()->setEnabled(chosen && (store != nullptr || folder_ == FolderKind::ShoppingList));
    if (!chosen || store == nullptr) {
        return;
    }
    const RowKey key = model_->key(current.row());
    if (key.unread) {
        model_->MarkRead(current.row());
        store->MarkRead(key.id, key.kind);
    }
}

void MainWindow::ShowAbout()
{
    const std::string home = SiteRootUrl(SiteBaseUrl(settings_));
    AboutDialog about(
        QString::fromStdString(home), [this, home] { Browser().Open(home, true); }, this);
    about.exec();
}

void MainWindow::PrintList()
{
    ListPrinter printer(*model_, shopping_.Stores());
    printer.Print(this, QStringLiteral("Tallyhawk Shopping Assistant"));
}

void MainWindow::OpenSelected()
{
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    const RowKey key = model_->key(row);
    const std::string base = SiteBaseUrl(settings_);
    switch (folder_) {
    case FolderKind::CouponsAndDeals:
        Browser().Open(RedirectPageUrl(base, key.kind, key.id), true);
        break;
    case FolderKind::ForumTopics:
        Browser().Open(MessagesPageUrl(base, key.kind, key.id), true);
        break;
    case FolderKind::PriceComparisons:
        for (const PriceResult& offer : searchResults_) {
            if (offer.id == key.id) {
                Browser().Open(offer.link, true);
                break;
            }
        }
        break;
    case FolderKind::ShoppingList:
    case FolderKind::PurchaseHistory: {
        if (!productEditor_) {
            return;
        }
        const std::int32_t kind = folder_ == FolderKind::ShoppingList ? ShoppingDatabase::kProducts
                                                                      : ShoppingDatabase::kPurchases;
        const std::optional<ShoppingRecord> saved = productEditor_(this, shopping_, kind, key.id);
        if (!saved) {
            break;
        }
        RefreshView(true);
        if (kind == ShoppingDatabase::kProducts) {
            ShowSaved(*saved);
        } else {
            ChooseRowOf(saved->id);
        }
        break;
    }
    default:
        break;
    }
}

void MainWindow::ShowSelectedDetails()
{
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    if (folder_ == FolderKind::ShoppingList) {
        PurchaseSelected();
        return;
    }
    if (ItemFolderStore() == nullptr) {
        return;
    }
    const RowKey key = model_->key(row);
    const std::string base = SiteBaseUrl(settings_);
    Browser().Open(key.kind == 3 ? MessagesPageUrl(base, 3, key.id) : ItemPageUrl(base, key.kind, key.id),
                   true);
}

void MainWindow::PurchaseSelected()
{
    const int row = SelectedRow();
    if (row < 0 || folder_ != FolderKind::ShoppingList) {
        return;
    }
    const RowKey key = model_->key(row);
    if (MessageBoxes::Ask(
            this, BoxTitle(), QStringLiteral("Do you want to mark the selected product as purchased?"))
        != QMessageBox::Yes) {
        return;
    }
    if (ShoppingListCommands(shopping_).Purchase(key.id) < 0) {
        MessageBoxes::Tell(this,
                           BoxTitle(),
                           QStringLiteral("There was an error while moving the selected product to the "
                                          "Purchase History."),
                           QMessageBox::Warning);
        return;
    }
    RemoveRow(row);
}

void MainWindow::DeleteSelected()
{
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    const RowKey key = model_->key(row);
    switch (folder_) {
    case FolderKind::CouponsAndDeals:
    case FolderKind::ForumTopics: {
        // Items go without a question; the row stays gone even when the file could not be changed.
        ItemStore* store = ItemFolderStore();
        RemoveRow(row);
        if (store->Delete(key.id, key.kind) < 0) {
            MessageBoxes::Tell(this,
                               BoxTitle(),
                               QStringLiteral("There was an error while deleting the selected deal(s).\nThe "
                                              "deal might have been already deleted or the database file is "
                                              "corrupted or locked."),
                               QMessageBox::Warning);
        }
        break;
    }
    case FolderKind::PriceComparisons:
        // The row goes first: it points into the results that lose the offer.
        RemoveRow(row);
        searchResults_.RemoveById(key.id);
        if (searchResults_.Save(searches_.ResultsPath(currentSearchId_)) < 0) {
            MessageBoxes::Tell(this,
                               BoxTitle(),
                               QStringLiteral("There was an error while saving the price comparison; the "
                                              "result will show again."),
                               QMessageBox::Warning);
        }
        break;
    case FolderKind::ShoppingList: {
        const std::optional<ShoppingRecord> product = shopping_.Find(ShoppingDatabase::kProducts, key.id);
        const bool recurring = product
            && ShoppingListCommands::QuestionFor(*product)
                == ShoppingListCommands::DeleteQuestion::RecurringSeries;
        std::optional<ShoppingListCommands::Deletion> deletion;
        if (recurring) {
            const QMessageBox::StandardButton answer = MessageBoxes::Ask(
                this,
                BoxTitle(),
                QStringLiteral("The selected product was setup as a recurring purchase.\nDo you want to "
                               "permanently delete all instances in the recurring series for this product?"),
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                QMessageBox::Cancel,
                // Yes and No would not say which of the two goes.
                {{QMessageBox::Yes, QStringLiteral("Delete Series")},
                 {QMessageBox::No, QStringLiteral("Skip This One")},
                 {QMessageBox::Cancel, QStringLiteral("Cancel")}});
            if (answer == QMessageBox::Yes) {
                deletion = ShoppingListCommands::Deletion::WholeProduct;
            } else if (answer == QMessageBox::No) {
                // Only this occurrence goes; the product comes back with its next one.
                deletion = ShoppingListCommands::Deletion::SkipOccurrence;
            }
        } else if (MessageBoxes::Ask(
                       this,
                       BoxTitle(),
                       QStringLiteral("Do you want to permanently delete the selected product?"))
                   == QMessageBox::Yes) {
            deletion = ShoppingListCommands::Deletion::WholeProduct;
        }
        if (!deletion) {
            return;
        }
        RemoveRow(row);
        if (ShoppingListCommands(shopping_).DeleteProduct(key.id, *deletion) < 0) {
            // A product that is still there must not look deleted.
            MessageBoxes::Tell(this,
                               BoxTitle(),
                               QStringLiteral("There was an error while deleting the selected product."),
                               QMessageBox::Warning);
            RefreshView(true);
        }
        break;
    }
    case FolderKind::PurchaseHistory:
        if (MessageBoxes::Ask(
                this, BoxTitle(), QStringLiteral("Do you want to permanently delete the selected purchase?"))
            != QMessageBox::Yes) {
            return;
        }
        RemoveRow(row);
        if (ShoppingListCommands(shopping_).DeletePurchase(key.id) < 0) {
            MessageBoxes::Tell(this,
                               BoxTitle(),
                               QStringLiteral("There was an error while deleting the selected purchase."),
                               QMessageBox::Warning);
            RefreshView(true);
        }
        break;
    default:
        break;
    }
}

void MainWindow::RemoveRow(int row)
{
    // Nothing chosen afterwards, so that no other row is marked read.
    listView_->selectionModel()->clear();
    model_->RemoveRow(row);
    RowChosen({});
}

void MainWindow::NewProduct()
{
    if (!productEditor_) {
        return;
    }
    const std::optional<ShoppingRecord> saved
        = productEditor_(this, shopping_, ShoppingDatabase::kProducts, 0);
    if (!saved) {
        return;
    }
    if (folder_ == FolderKind::ShoppingList) {
        RefreshView(true);
    } else {
        ShowFolder(FolderKind::ShoppingList);
    }
    ShowSaved(*saved);
}

bool MainWindow::ChooseRowOf(std::int32_t id)
{
    for (int row = 0; row < model_->rowCount(); ++row) {
        if (model_->key(row).id == id) {
            const QModelIndex index = model_->index(row, 0);
            listView_->setCurrentIndex(index);
            listView_->scrollTo(index);
            return true;
        }
    }
    return false;
}

void MainWindow::ShowSaved(const ShoppingRecord& product)
{
    dueNotice_->hide();
    if (folder_ != FolderKind::ShoppingList || ChooseRowOf(product.id)) {
        return;
    }
    ItemFilter whole = viewFilter_;
    whole.keyword.reset();
    whole.storeId = 0;
    whole.categoryId = 0;
    // The filter's own rule, which also works out when the product is due.
    ShoppingRecord due = product;
    if (PassesFilter(due, whole, ShoppingFilterMode::Products)) {
        viewFilter_ = whole;
        viewCaption_->setText(folderPane_->caption());
        RefreshView(true);
        ChooseRowOf(product.id);
        return;
    }
    if (due.nextDue > viewFilter_.to) {
        dueNotice_->Tell(RecordText(product.name()), product.id, due.nextDue);
    }
}

void MainWindow::ShowDueBy(std::int32_t id, std::int32_t due)
{
    if (folder_ != FolderKind::ShoppingList) {
        return;
    }
    dueNotice_->hide();
    if (!ownViewEnd_) {
        ownViewEnd_ = viewFilter_.to;
    }
    viewFilter_.keyword.reset();
    viewFilter_.storeId = 0;
    viewFilter_.categoryId = 0;
    viewFilter_.to = std::max(viewFilter_.to, LocalTimeOnDayOf(due, 23, 59, 59));
    viewCaption_->setText(folderPane_->caption() + QStringLiteral(": due by ") + DueNotice::DayText(due));
    RefreshView(true);
    ChooseRowOf(id);
}

void MainWindow::EndDueView()
{
    dueNotice_->hide();
    if (ownViewEnd_) {
        viewFilter_.to = *ownViewEnd_;
        ownViewEnd_.reset();
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
    currentSearchId_ = saved;
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
    toolBar_->newProduct()->setEnabled(bool(productEditor_));
    toolBar_->comparePrices()->setEnabled(bool(comparisonRunner_));
    summaryPage_->quickTask(SummaryPage::QuickTask::NewProduct)->setEnabled(bool(productEditor_));
    summaryPage_->quickTask(SummaryPage::QuickTask::ComparePrices)->setEnabled(bool(comparisonRunner_));
    RowChosen(SelectedIndex());
}

void MainWindow::FillSummary()
{
    const TimeSpan today = TimeSpan::EndingToday(TimeSpan::kToday, Clock::Now());
    todayFilter_ = ItemFilter();
    todayFilter_.from = today.from;
    todayFilter_.to = today.to;
    summaryPage_->Fill(
        SummaryContent::Collect(todayFilter_, deals_, topics_, shopping_, hotDeals_, SiteBaseUrl(settings_)));
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
    settings_.showSummary = checked ? 0 : 1;
    if (settings_.Save() < 0) {
        MessageBoxes::Tell(this,
                           BoxTitle(),
                           QStringLiteral("The settings could not be saved; the start page stays as it was."),
                           QMessageBox::Warning);
    }
}

void MainWindow::SaveLayout()
{
    // Until the saved placement was applied the window stands where no one put it; saving that would
    // lose the one in the file.
    if (placementRestored_) {
        layout_->SavePlacement(*this);
    }
    // The summary page and the empty folders have no columns; their widths are the ones last shown.
    if (listView_->header()->count() > 0) {
        layout_->SaveColumns(*listView_->header());
    } else {
        layout_->SaveColumns(columnWidths_);
    }
    layout_->SaveFolderPaneWidth(panes_->sizes().value(0));
}

void MainWindow::TreeChosen(ViewTree::Stands stands, std::int32_t id, const QString& text)
{
    if (folder_ == FolderKind::PriceComparisons) {
        currentSearchId_ = id;
    } else if (!IsListFolder(folder_)) {
        return;
    } else if (stands == ViewTree::Stands::Store) {
        viewFilter_.storeId = id;
        viewFilter_.categoryId = 0;
    } else if (stands == ViewTree::Stands::Category) {
        viewFilter_.categoryId = id;
        viewFilter_.storeId = 0;
    }
    viewCaption_->setText(folderPane_->caption() + QStringLiteral(": ") + text);
    RefreshView(false);
}

void MainWindow::Find()
{
    const QString current = viewFilter_.keyword ? QString::fromStdString(*viewFilter_.keyword) : QString();
    if (std::optional<QString> text = searchPrompt_(current)) {
        ApplySearch(*text);
    }
}

void MainWindow::ApplySearch(const QString& text)
{
    EndDueView();
    viewFilter_.storeId = 0;
    viewFilter_.categoryId = 0;
    if (text.isEmpty()) {
        viewFilter_.keyword.reset();
        viewCaption_->setText(folderPane_->caption());
    } else {
        viewFilter_.keyword = text.toStdString();
        viewCaption_->setText(folderPane_->caption() + QStringLiteral(": search results for ") + text);
    }
    RefreshView(true);
}

void MainWindow::ShowFromTray()
{
    // After a hidden start the saved placement waits for the first show.
    if (!placementRestored_) {
        placementRestored_ = true;
        layout_->RestorePlacement(*this);
    }
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
    RefreshView(false);
}

void MainWindow::RequestExit()
{
    exiting_ = true;
    QApplication::quit();
}

void MainWindow::ShowSettings()
{
    SettingsDialog::Edit(this, settings_);
}

void MainWindow::StartUpdateCycle(bool startedHidden)
{
    updateContext_ = std::make_unique<UpdateContext>(
        UpdateContext{settings_, connection_, fetcher_, deals_, topics_, &shopping_});
    updateContext_->folder = std::filesystem::current_path();
    updateContext_->startedHidden = startedHidden;
    updateContext_->listsRefreshDue = listsRefreshDue_;
    if (downloadInterval_) {
        updateContext_->downloadInterval = *downloadInterval_;
    }
    passes_ = std::make_unique<PassRunner>(*updateContext_, *updateHost_);
    passes_->StartUpdateCycle();
}

void MainWindow::StartTimers(std::chrono::milliseconds download, std::chrono::milliseconds alertQueue)
{
    if (shutDown_) {
        return;
    }
    downloadTimer_->start(download);
    alertQueue_->StartTimer(alertQueue);
}

void MainWindow::StopTimers()
{
    downloadTimer_->stop();
    alertQueue_->StopTimer();
}

void MainWindow::Shutdown()
{
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    tray_->Hide();
    StopTimers();
    alertQueue_->Clear();
    // The popups still open go with their opener, while the settings they read still exist.
    alertQueue_->SetOpener({});
    // A pass waiting for a prompt's answer gets No, and the pass's late calls are dropped; then it is
    // stopped at its next safe point (no record half-written) and joined before the stores go.
    updateHost_->Close();
    if (passes_) {
        passes_->Stop();
        passes_.reset();
    }
}

QWidget* MainWindow::currentPage() const
{
    return pages_->currentWidget();
}

QString MainWindow::viewCaption() const
{
    return viewCaption_->text();
}

void MainWindow::PutAway()
{
    if (tray_->available()) {
        hide();
    } else if (!isMinimized()) {
        showMinimized();
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (exiting_) {
        event->accept();
        return;
    }
    event->ignore();
    SaveLayout();
    PutAway();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && isVisible()) {
        SaveLayout();
    }
    if (event->type() == QEvent::WindowStateChange && isMinimized() && tray_->available()) {
        // Hiding inside the state change confuses some window managers; do it once it settled.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized()) {
                hide();
            }
        });
    }
}

} // namespace tallyhawk
