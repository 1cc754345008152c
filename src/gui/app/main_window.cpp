#include "gui/app/main_window.h"

#include "core/common/clock.h"
#include "core/common/display_text.h"
#include "core/common/site_addresses.h"
#include "core/common/time_span.h"
#include "core/platform/program_path.h"
#include "core/settings/site_url.h"
#include "core/update/pass_runner.h"
#include "core/update/update_context.h"
#include "core/update/weekly_upkeep.h"
#include "gui/app/about_dialog.h"
#include "gui/app/alert_queue.h"
#include "gui/app/app_icon.h"
#include "gui/app/cash_back_pane.h"
#include "gui/app/folder_pane.h"
#include "gui/app/item_list_model.h"
#include "gui/app/list_rows.h"
#include "gui/app/main_tool_bar.h"
#include "gui/app/search_dialog.h"
#include "gui/app/tray_controller.h"
#include "gui/app/window_update_host.h"
#include "gui/controls/message_boxes.h"
#include "gui/controls/time_filter_button.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <filesystem>
#include <utility>

namespace tallyhawk
{

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
    , pages_(new QStackedWidget)
    , listView_(new QTreeView)
    , emptyPage_(new QWidget)
    , model_(new ItemListModel(this))
{
    setWindowTitle(QStringLiteral("Tallyhawk"));
    const QIcon icon = AppIcon();
    setWindowIcon(icon);

    deals_.Open("deal.lst");
    topics_.Open("topic.lst");
    shopping_.Open();

    listView_->setModel(model_);
    listView_->setRootIsDecorated(false);
    listView_->setUniformRowHeights(true);
    listView_->setAlternatingRowColors(true);
    listView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    listView_->setAccessibleName(QStringLiteral("Items"));
    pages_->addWidget(listView_);
    pages_->addWidget(emptyPage_);
    const std::string cashBack = CashBackStoresUrl(SiteBaseUrl(settings_));
    cashBackPane_ = new CashBackPane(QString::fromStdString(cashBack),
                                     [this, cashBack] { Browser().Open(cashBack, true); });
    pages_->addWidget(cashBackPane_);

    QFont bold = viewCaption_->font();
    bold.setBold(true);
    viewCaption_->setFont(bold);
    viewCaption_->setAccessibleName(QStringLiteral("View"));

    auto* right = new QVBoxLayout;
    right->setSpacing(2);
    right->addWidget(viewCaption_);
    right->addWidget(pages_, 1);

    auto* panes = new QHBoxLayout;
    panes->addWidget(folderPane_);
    panes->addLayout(right, 1);

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(toolBar_);
    layout->addLayout(panes, 1);
    setCentralWidget(central);
    // Starting sizes in the proportions of the original window; layouts resize from there.
    folderPane_->setFixedWidth(folderPane_->sizeHint().width() + 24);
    resize(880, 480);

    tray_ = new TrayController(icon, this);
    tray_->SetTip(windowTitle());
    connect(this, &QWidget::windowTitleChanged, tray_, &TrayController::SetTip);
    connect(tray_, &TrayController::showRequested, this, &MainWindow::ShowFromTray);
    connect(tray_, &TrayController::settingsRequested, this, &MainWindow::ShowSettings);
    connect(tray_, &TrayController::exitRequested, this, &MainWindow::RequestExit);

    // Until the popups come, an alert is the tray's message; it leaves the popup counters alone.
    alertQueue_ = new AlertQueue(
        [this](std::unique_ptr<ItemRecord> record, AlertCounters&) {
            // A program notice has a title of its own; an item says its store first, as a popup does.
            QString title = QString::fromStdString(DisplayText(record->title()));
            if (record->kind != 99 && !record->storeName().empty()) {
                title
                    = QString::fromStdString(DisplayText(record->storeName())) + QStringLiteral(": ") + title;
            }
            tray_->ShowMessage(title, QString::fromStdString(DisplayText(record->description())));
        },
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

    auto* quit = new QAction(this);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::ApplicationShortcut);
    connect(quit, &QAction::triggered, this, &MainWindow::RequestExit);
    addAction(quit);
    auto* refresh = new QAction(this);
    refresh->setShortcut(QKeySequence::Refresh);
    connect(refresh, &QAction::triggered, this, [this] { RefreshView(true); });
    addAction(refresh);

    auto* find = new QAction(this);
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, this, [this] {
        if (toolBar_->find()->isEnabled()) {
            Find();
        }
    });
    addAction(find);
    searchPrompt_ = [this](const QString& initialText) -> std::optional<QString> {
        SearchDialog dialog(initialText, this);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.resultText();
    };

    notice_ = [this](const QString& text) {
        QMessageBox::information(this, windowTitle(), text);
    };
    auto* remove = new QAction(this);
    remove->setShortcut(QKeySequence::Delete);
    remove->setShortcutContext(Qt::WidgetShortcut);
    connect(remove, &QAction::triggered, this, [this] {
        if (toolBar_->remove()->isEnabled()) {
            DeleteSelected();
        }
    });
    listView_->addAction(remove);
    connect(listView_, &QTreeView::activated, this, [this] {
        if (toolBar_->open()->isEnabled()) {
            OpenSelected();
        }
    });
    connect(toolBar_->open(), &QToolButton::clicked, this, &MainWindow::OpenSelected);
    connect(toolBar_->details(), &QToolButton::clicked, this, &MainWindow::ShowSelectedDetails);
    connect(toolBar_->remove(), &QToolButton::clicked, this, &MainWindow::DeleteSelected);
    connect(toolBar_->find(), &QToolButton::clicked, this, &MainWindow::Find);
    connect(
        listView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &MainWindow::RowChosen);
    connect(folderPane_->tree(), &ViewTree::chosen, this, &MainWindow::TreeChosen);
    connect(folderPane_, &FolderPane::folderChosen, this, &MainWindow::ShowFolder);
    connect(toolBar_->timeFilter(), &TimeFilterButton::spanChosen, this, &MainWindow::ChooseTimeSpan);
    connect(toolBar_->refresh(), &QToolButton::clicked, this, [this] { RefreshView(true); });
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
    targets.ask = [](const QString& caption, const QString& text) {
        // Owned by no window: the prompt comes also while the window is hidden in the tray.
        return MessageBoxes::Ask(nullptr, caption, text) == QMessageBox::Yes;
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
    // 10. The start folder and both stores: the update cycle asks only for ids above what a load has
    // seen, so both load first.
    deals_.Load(viewFilter_);
    topics_.Load(viewFilter_);
    ShowFolder(FolderKind::CouponsAndDeals);
    // 11. The update cycle.
    StartUpdateCycle(startHidden);
    // 13. The autostart entry starts this very program hidden at login, or is removed.
    if (settings_.autoRun == 1) {
        autostart_.Write(CurrentExecutablePath().string());
    } else {
        autostart_.Remove();
    }
    // 14. Shown, or kept in the tray.
    if (!startHidden) {
        show();
    } else if (!tray_->available()) {
        showMinimized();
    }
}

void MainWindow::ShowFolder(FolderKind folder)
{
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
    } else {
        pages_->setCurrentWidget(folder == FolderKind::CashBackStores ? static_cast<QWidget*>(cashBackPane_)
                                                                      : emptyPage_);
        model_->Clear();
        folderPane_->tree()->clear();
    }
}

void MainWindow::ChooseTimeSpan(std::int32_t span)
{
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
        list = ListRows::FromShopping(shopping_.ViewRecords());
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
    case FolderKind::CashBackStores:
    case FolderKind::None:
        return;
    }
    model_->Reset(std::move(list));
    RowChosen({});
    listView_->header()->setStretchLastSection(true);
    // Plain text columns until the row cards: wide enough for their texts, the last one takes the rest.
    for (int column = 0; column + 1 < model_->columnCount(); ++column) {
        listView_->resizeColumnToContents(column);
    }
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

int MainWindow::SelectedRow() const
{
    const QModelIndex current = listView_->currentIndex();
    return current.isValid() ? current.row() : -1;
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
    ItemStore* store = ItemFolderStore();
    // The other folders' commands come with their dialogs and questions; until then they stay off.
    const bool enable = current.isValid() && store != nullptr;
    toolBar_->open()->setEnabled(enable);
    toolBar_->details()->setEnabled(enable);
    toolBar_->remove()->setEnabled(enable);
    if (!enable) {
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

void MainWindow::OpenSelected()
{
    const int row = SelectedRow();
    if (row < 0 || ItemFolderStore() == nullptr) {
        return;
    }
    const RowKey key = model_->key(row);
    const std::string base = SiteBaseUrl(settings_);
    Browser().Open(folder_ == FolderKind::ForumTopics ? MessagesPageUrl(base, key.kind, key.id)
                                                      : RedirectPageUrl(base, key.kind, key.id),
                   true);
}

void MainWindow::ShowSelectedDetails()
{
    const int row = SelectedRow();
    if (row < 0 || ItemFolderStore() == nullptr) {
        return;
    }
    const RowKey key = model_->key(row);
    const std::string base = SiteBaseUrl(settings_);
    Browser().Open(key.kind == 3 ? MessagesPageUrl(base, 3, key.id) : ItemPageUrl(base, key.kind, key.id),
                   true);
}

void MainWindow::DeleteSelected()
{
    const int row = SelectedRow();
    ItemStore* store = ItemFolderStore();
    if (row < 0 || store == nullptr) {
        return;
    }
    const RowKey key = model_->key(row);
    // The row goes at once, leaving nothing chosen (so no other row is marked read); it stays gone even
    // when the file could not be changed.
    listView_->selectionModel()->clear();
    model_->RemoveRow(row);
    if (store->Delete(key.id, key.kind) < 0) {
        notice_(QStringLiteral(
            "There was an error while deleting the selected deal(s).\nThe deal might have been "
            "already deleted or the database file is corrupted or locked."));
    }
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
    // The settings dialog opens here, modally on the settings.
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
    PutAway();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
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
