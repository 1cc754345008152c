#include "core/common/site_addresses.h"
#include "core/compare/result_list.h"
#include "core/compare/search_index.h"
#include "core/settings/site_url.h"
#include "core/shopping/shopping_database.h"
#include "gui/app/due_notice.h"
#include "gui/app/folder_pane.h"
#include "gui/app/main_tool_bar.h"
#include "gui/app/main_window.h"
#include "gui/app/main_window_fixture.h"
#include "gui/app/summary_page.h"
#include "gui/app/view_tree.h"
#include "gui/controls/time_filter_button.h"
#include "gui/views/item_list_model.h"
#include "support/preset_message_boxes.h"

#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace tallyhawk
{
namespace
{

class MainWindowCommandsTest : public MainWindowFixture
{
protected:
    // A product in the Shopping List, due today; recurring with `purchaseType` 2, 3 or 4.
    std::int32_t AddProduct(const char* name, std::uint16_t purchaseType = 0)
    {
        ShoppingDatabase shopping;
        shopping.Open();
        ShoppingValues values;
        values.name = name;
        values.quantity = 1;
        values.purchaseType = purchaseType;
        values.dayValue = purchaseType == 2 ? 1 : 0;
        values.interval = purchaseType >= 3 ? 1 : 0;
        values.startDate = kTen - 3600;
        const std::optional<ShoppingRecord> record = shopping.AddRecord(ShoppingDatabase::kProducts, values);
        EXPECT_TRUE(record);
        return record ? record->id : 0;
    }

    std::int32_t AddPurchase(const char* name)
    {
        ShoppingDatabase shopping;
        shopping.Open();
        ShoppingValues values;
        values.name = name;
        values.startDate = kTen - 3600;
        const std::optional<ShoppingRecord> record = shopping.AddRecord(ShoppingDatabase::kPurchases, values);
        EXPECT_TRUE(record);
        return record ? record->id : 0;
    }

    static std::optional<ShoppingRecord> Stored(std::int32_t kind, std::int32_t id)
    {
        ShoppingDatabase shopping;
        shopping.Open();
        return shopping.Find(kind, id);
    }

    static void Choose(MainWindow& window, int row)
    {
        ItemList(window)->setCurrentIndex(ListModel(window)->index(row, 0));
        WaitForView(window);
    }
};

// Every folder's captions and enabled states, with no row chosen and with one.
TEST_F(MainWindowCommandsTest, EachFolderGivesTheToolbarItsCaptionsAndStates)
{
    AddItem("deal.lst", 1, 1, "a coupon", kTen - 60);
    AddItem("topic.lst", 2, 3, "a topic", kTen - 60);
    AddProduct("Milk");
    AddPurchase("Bread");
    {
        ResultList results;
        PriceResult offer;
        offer.name = "shoe";
        offer.price = 3;
        results.Insert(offer);
        SearchIndex index;
        ASSERT_GT(index.SaveSearch(1, "shoes", results), 0);
    }
    auto window = StartHidden();
    MainToolBar* bar = Bar(*window);

    struct Expected
    {
        FolderKind folder;
        const char* details;
        const char* open;
        const char* remove;
        const char* find;
        bool findEnabled;
        // With a row chosen (no product editor set).
        bool openEnabled;
        bool detailsEnabled;
    };
    const std::vector<Expected> table{
        {FolderKind::CouponsAndDeals,
         "Coupon Details",
         "Open In Browser",
         "Delete Coupon",
         "Find Coupons",
         true,
         true,
         true},
        {FolderKind::ForumTopics,
         "Topic Details",
         "Open In Browser",
         "Delete Topic",
         "Find Topics",
         true,
         true,
         true},
        {FolderKind::PriceComparisons,
         "Result Details",
         "Open In Browser",
         "Delete Result",
         "Find Results",
         false,
         true,
         false},
        {FolderKind::ShoppingList,
         "Purchase Product",
         "Edit Product",
         "Delete Product",
         "Find Products",
         true,
         false,
         true},
        {FolderKind::PurchaseHistory,
         "Purchase Product",
         "Edit Product",
         "Delete Product",
         "Find Products",
         true,
         false,
         false},
        {FolderKind::TodaysSummary, "Details", "Open", "Delete", "Find", false, false, false},
        {FolderKind::CashBackStores, "Details", "Open", "Delete", "Find", false, false, false},
    };
    for (const Expected& expected : table) {
        SCOPED_TRACE(FolderName(expected.folder).toStdString());
        Pane(*window)->button(expected.folder)->click();
        WaitForView(*window);
        if (expected.folder == FolderKind::PriceComparisons) {
            Pane(*window)->tree()->topLevelItem(0)->child(0)->setSelected(true);
            WaitForView(*window);
        }
        EXPECT_EQ(bar->details()->text(), QString::fromLatin1(expected.details));
        EXPECT_EQ(bar->open()->text(), QString::fromLatin1(expected.open));
        EXPECT_EQ(bar->remove()->text(), QString::fromLatin1(expected.remove));
        EXPECT_EQ(bar->find()->text(), QString::fromLatin1(expected.find));
        EXPECT_EQ(bar->find()->isEnabled(), expected.findEnabled);
        EXPECT_FALSE(bar->details()->isEnabled());
        EXPECT_FALSE(bar->open()->isEnabled());
        EXPECT_FALSE(bar->remove()->isEnabled());
        // The commands whose dialogs are set from outside wait for them.
        EXPECT_FALSE(bar->newProduct()->isEnabled());
        EXPECT_FALSE(bar->comparePrices()->isEnabled());
        EXPECT_TRUE(bar->refresh()->isEnabled());
        EXPECT_TRUE(bar->timeFilter()->isEnabled());
        EXPECT_EQ(Pane(*window)->caption(), FolderName(expected.folder));
        if (IsListFolder(expected.folder)) {
            ASSERT_EQ(ListModel(*window)->rowCount(), 1);
            Choose(*window, 0);
            WaitForView(*window);
            EXPECT_EQ(bar->open()->isEnabled(), expected.openEnabled);
            EXPECT_EQ(bar->details()->isEnabled(), expected.detailsEnabled);
            EXPECT_TRUE(bar->remove()->isEnabled());
        }
    }
    // Tool tips as the toolbar's users know them, with the shortcut where there is one.
    EXPECT_EQ(bar->timeFilter()->toolTip(),
              QStringLiteral("Select the time interval that you want to view items for"));
    EXPECT_EQ(bar->newProduct()->toolTip(),
              QStringLiteral("Add a new product to your shopping list (%1)")
                  .arg(QKeySequence(QKeySequence::New).toString(QKeySequence::NativeText)));
    EXPECT_EQ(bar->comparePrices()->toolTip(),
              QStringLiteral("Compare prices for your item at tens of online stores"));
    EXPECT_EQ(bar->details()->toolTip(), QStringLiteral("View the selected item on the Quillmarch web site"));
    EXPECT_EQ(bar->home()->toolTip(), QStringLiteral("Open the Quillmarch web site in a new browser window"));
}

// Every command is one named action; one with a shortcut shows it in its tool tip.
TEST_F(MainWindowCommandsTest, EveryCommandIsANamedActionWithItsShortcut)
{
    auto window = StartHidden();
    struct Expected
    {
        const char* name;
        QKeySequence shortcut;
    };
    const std::vector<Expected> table{
        {"actionNewProduct", QKeySequence::New},
        {"actionComparePrices", {}},
        {"actionOpen", {}},
        {"actionDetails", {}},
        {"actionDelete", QKeySequence::Delete},
        {"actionFind", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)},
        {"actionSearch", QKeySequence::Find},
        {"actionPrint", QKeySequence::Print},
        {"actionRefresh", QKeySequence::Refresh},
        {"actionEditSettings", {}},
        {"actionHome", {}},
        {"actionExit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
    };
    for (const Expected& expected : table) {
        SCOPED_TRACE(expected.name);
        QAction* action = Command(*window, expected.name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->shortcut(), expected.shortcut);
        EXPECT_FALSE(action->text().isEmpty());
        const std::string_view name(expected.name);
        if (!expected.shortcut.isEmpty() && name != "actionExit" && name != "actionSearch") {
            EXPECT_TRUE(action->toolTip().endsWith(
                QStringLiteral("(%1)").arg(expected.shortcut.toString(QKeySequence::NativeText))))
                << action->toolTip().toStdString();
        }
    }
}

// F5 and Ctrl+Shift+F reach the window's commands through their actions.
TEST_F(MainWindowCommandsTest, TheShortcutsRunTheirCommands)
{
    AddItem("deal.lst", 1, 2, "a deal", kTen - 60);
    auto window = StartHidden();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    int searched = 0;
    window->SetSearchPrompt([&](const QString&) -> std::optional<QString> {
        ++searched;
        return std::nullopt;
    });
    QTest::keySequence(window.get(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    WaitForView(*window);
    EXPECT_EQ(searched, 1);
    AddItem("deal.lst", 2, 2, "another deal", kTen - 30);
    QTest::keySequence(window.get(), QKeySequence::Refresh);
    WaitForView(*window);
    EXPECT_EQ(ListModel(*window)->rowCount(), 2);
}

TEST_F(MainWindowCommandsTest, HomeOpensTheSiteAndOffersOpenTheirLinks)
{
    {
        ResultList results;
        PriceResult offer;
        offer.id = 1;
        offer.name = "kettle";
        offer.link = "http://127.0.0.1:9/kettle?id=1&b=2";
        offer.price = 20;
        results.Insert(offer);
        SearchIndex index;
        ASSERT_GT(index.SaveSearch(1, "kettle", results), 0);
    }
    auto window = StartHidden();
    std::vector<std::string> opened;
    window->SetBrowser(std::make_unique<BrowserLauncher>(
        [&](const std::vector<std::string>& argv) {
            opened.push_back(argv.back());
            return true;
        },
        [](const std::vector<std::string>&) { return std::optional<std::string>(); }));
    ASSERT_TRUE(Command(*window, "actionHome")->isEnabled());
    Command(*window, "actionHome")->trigger();
    WaitForView(*window);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], SiteRootUrl(SiteBaseUrl(Settings(SettingsFile()))));

    Pane(*window)->button(FolderKind::PriceComparisons)->click();
    WaitForView(*window);
    Pane(*window)->tree()->topLevelItem(0)->child(0)->setSelected(true);
    WaitForView(*window);
    ASSERT_EQ(FirstColumn(*window), QStringList{QStringLiteral("kettle")});
    ASSERT_EQ(View(*window)->caption(), QStringLiteral("Price Comparisons: kettle"));
    Choose(*window, 0);
    WaitForView(*window);
    Command(*window, "actionOpen")->trigger();
    WaitForView(*window);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], "http://127.0.0.1:9/kettle?id=1&b=2");
}

TEST_F(MainWindowCommandsTest, DeletingARecurringProductAsksWhatToDelete)
{
    const std::int32_t weekly = AddProduct("Coffee", 2);
    const std::int32_t plain = AddProduct("Milk");
    auto window = StartHidden();
    PresetMessageBoxes boxes;
    Pane(*window)->button(FolderKind::ShoppingList)->click();
    WaitForView(*window);
    ASSERT_EQ(ListModel(*window)->rowCount(), 2);
    const auto rowOf = [&](std::int32_t id) {
        for (int row = 0; row < ListModel(*window)->rowCount(); ++row) {
            if (ListModel(*window)->key(row).id == id) {
                return row;
            }
        }
        return -1;
    };

    // Cancel: nothing changes, in the list or the file.
    boxes.Answer(QMessageBox::Cancel);
    Choose(*window, rowOf(weekly));
    WaitForView(*window);
    Command(*window, "actionDelete")->trigger();
    WaitForView(*window);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(boxes.shown()[0].captions,
              (MessageBoxes::Captions{{QMessageBox::Yes, QStringLiteral("Delete Series")},
                                      {QMessageBox::No, QStringLiteral("Skip This One")},
                                      {QMessageBox::Cancel, QStringLiteral("Cancel")}}));
    EXPECT_EQ(boxes.shown()[0].icon, QMessageBox::Question);
    EXPECT_TRUE(boxes.lastText().startsWith(
        QStringLiteral("The selected product was setup as a recurring purchase.")));
    EXPECT_EQ(ListModel(*window)->rowCount(), 2);
    ASSERT_TRUE(Stored(ShoppingDatabase::kProducts, weekly));
    EXPECT_EQ(Stored(ShoppingDatabase::kProducts, weekly)->deleted, 0);
    EXPECT_EQ(Stored(ShoppingDatabase::kProducts, weekly)->lastPurchased, 0);

    // No: this occurrence is skipped; the product stays, purchased today at 01:00 without a purchase.
    boxes.Answer(QMessageBox::No);
    Choose(*window, rowOf(weekly));
    WaitForView(*window);
    Command(*window, "actionDelete")->trigger();
    WaitForView(*window);
    EXPECT_EQ(rowOf(weekly), -1);
    std::optional<ShoppingRecord> stored = Stored(ShoppingDatabase::kProducts, weekly);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->deleted, 0);
    EXPECT_EQ(stored->lastPurchased, *LocalTime(2026, 3, 10, 1, 0, 0));
    {
        ShoppingDatabase shopping;
        shopping.Open();
        EXPECT_EQ(shopping.CountRecords(ShoppingDatabase::kPurchases), 0);
    }

    // Yes: the whole series goes.
    window->RefreshView(true);
    WaitForView(*window);
    boxes.Answer(QMessageBox::Yes);
    Choose(*window, rowOf(weekly));
    WaitForView(*window);
    Command(*window, "actionDelete")->trigger();
    WaitForView(*window);
    EXPECT_EQ(rowOf(weekly), -1);
    stored = Stored(ShoppingDatabase::kProducts, weekly);
    EXPECT_TRUE(!stored || stored->deleted != 0);

    // A plain product asks Yes or No; No keeps it.
    boxes.Clear();
    boxes.Answer(QMessageBox::No);
    Choose(*window, rowOf(plain));
    WaitForView(*window);
    Command(*window, "actionDelete")->trigger();
    WaitForView(*window);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.lastText(), QStringLiteral("Do you want to permanently delete the selected product?"));
    EXPECT_EQ(boxes.shown()[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_NE(rowOf(plain), -1);
    boxes.Answer(QMessageBox::Yes);
    Choose(*window, rowOf(plain));
    WaitForView(*window);
    Command(*window, "actionDelete")->trigger();
    WaitForView(*window);
    EXPECT_EQ(rowOf(plain), -1);
    stored = Stored(ShoppingDatabase::kProducts, plain);
    EXPECT_TRUE(!stored || stored->deleted != 0);
    window->RefreshView(true);
    WaitForView(*window);
    EXPECT_EQ(ListModel(*window)->rowCount(), 0);
}

TEST_F(MainWindowCommandsTest, PurchaseHistoryAndComparisonResultsDelete)
{
    const std::int32_t bread = AddPurchase("Bread");
    std::int32_t search = 0;
    {
        ResultList results;
        for (auto [id, name, price] : {std::tuple{1, "cheap", 1.0}, std::tuple{2, "dear", 9.0}}) {
            PriceResult offer;
            offer.id = id;
            offer.name = name;
            offer.price = price;
            offer.link = std::string("http://127.0.0.1/") + name;
            results.Insert(offer);
        }
        SearchIndex index;
        search = index.SaveSearch(1, "shoes", results);
        ASSERT_GT(search, 0);
    }
    auto window = StartHidden();
    PresetMessageBoxes boxes;

    Pane(*window)->button(FolderKind::PurchaseHistory)->click();
    WaitForView(*window);
    boxes.Answer(QMessageBox::No);
    Choose(*window, 0);
    WaitForView(*window);
    Command(*window, "actionDelete")->trigger();
    WaitForView(*window);
    EXPECT_EQ(boxes.lastText(), QStringLiteral("Do you want to permanently delete the selected purchase?"));
    EXPECT_EQ(ListModel(*window)->rowCount(), 1);
    boxes.Answer(QMessageBox::Yes);
    Choose(*window, 0);
    WaitForView(*window);
    Command(*window, "actionDelete")->trigger();
    WaitForView(*window);
    EXPECT_EQ(ListModel(*window)->rowCount(), 0);
    const std::optional<ShoppingRecord> stored = Stored(ShoppingDatabase::kPurchases, bread);
    EXPECT_TRUE(!stored || stored->deleted != 0);

    // A comparison's result goes without a question, from the list and its results file.
    boxes.Clear();
    Pane(*window)->button(FolderKind::PriceComparisons)->click();
    WaitForView(*window);
    Pane(*window)->tree()->topLevelItem(0)->child(0)->setSelected(true);
    WaitForView(*window);
    ASSERT_EQ(ListModel(*window)->rowCount(), 2);
    Choose(*window, 0);
    WaitForView(*window);
    Command(*window, "actionDelete")->trigger();
    WaitForView(*window);
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("dear")});
    ResultList saved;
    SearchIndex index;
    ASSERT_EQ(saved.Load(index.ResultsPath(search)), 0);
    ASSERT_EQ(saved.Count(), 1u);
    EXPECT_EQ(saved.begin()->name, "dear");
}

TEST_F(MainWindowCommandsTest, PurchaseProductAsksAndMovesTheProduct)
{
    const std::int32_t milk = AddProduct("Milk");
    auto window = StartHidden();
    PresetMessageBoxes boxes;
    Pane(*window)->button(FolderKind::ShoppingList)->click();
    WaitForView(*window);

    boxes.Answer(QMessageBox::No);
    Choose(*window, 0);
    WaitForView(*window);
    Command(*window, "actionDetails")->trigger();
    WaitForView(*window);
    EXPECT_EQ(boxes.lastText(), QStringLiteral("Do you want to mark the selected product as purchased?"));
    EXPECT_EQ(boxes.shown().back().icon, QMessageBox::Question);
    EXPECT_EQ(ListModel(*window)->rowCount(), 1);
    EXPECT_EQ(Stored(ShoppingDatabase::kProducts, milk)->lastPurchased, 0);

    boxes.Answer(QMessageBox::Yes);
    Choose(*window, 0);
    WaitForView(*window);
    Command(*window, "actionDetails")->trigger();
    WaitForView(*window);
    EXPECT_EQ(ListModel(*window)->rowCount(), 0);
    EXPECT_EQ(Stored(ShoppingDatabase::kProducts, milk)->lastPurchased, *LocalTime(2026, 3, 10, 1, 0, 0));
    Pane(*window)->button(FolderKind::PurchaseHistory)->click();
    WaitForView(*window);
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("Milk")});

    // A product file that cannot be written is told, and the row stays.
    Pane(*window)->button(FolderKind::ShoppingList)->click();
    WaitForView(*window);
    const std::int32_t eggs = AddProduct("Eggs");
    window->RefreshView(true);
    WaitForView(*window);
    ASSERT_EQ(ListModel(*window)->rowCount(), 1);
    ASSERT_EQ(ListModel(*window)->key(0).id, eggs);
    std::filesystem::remove(dir_.File("product.dat"));
    boxes.Clear();
    boxes.Answer(QMessageBox::Yes);
    Choose(*window, 0);
    WaitForView(*window);
    Command(*window, "actionDetails")->trigger();
    WaitForView(*window);
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(
        boxes.lastText(),
        QStringLiteral("There was an error while moving the selected product to the Purchase History."));
    EXPECT_EQ(ListModel(*window)->rowCount(), 1);
}

TEST_F(MainWindowCommandsTest, DialogHooksEnableTheirCommandsAndRefreshAfterwards)
{
    AddProduct("Milk");
    auto window = StartHidden();
    MainToolBar* bar = Bar(*window);
    SummaryPage* summary = Summary(*window);
    EXPECT_FALSE(summary->quickTask(SummaryPage::QuickTask::NewProduct)->isEnabled());
    EXPECT_FALSE(summary->quickTask(SummaryPage::QuickTask::ComparePrices)->isEnabled());

    std::vector<std::pair<std::int32_t, std::int32_t>> edited;
    window->SetProductEditorOpener(
        [&](QWidget*, ShoppingDatabase& shopping, std::int32_t kind, std::int32_t id) {
            edited.emplace_back(kind, id);
            ShoppingValues values;
            values.name = "Tea";
            values.startDate = kTen - 60;
            return shopping.AddRecord(kind, values);
        });
    EXPECT_TRUE(bar->newProduct()->isEnabled());
    EXPECT_TRUE(summary->quickTask(SummaryPage::QuickTask::NewProduct)->isEnabled());

    // New Product from another folder saves, then shows the Shopping List with the new product.
    bar->newProduct()->trigger();
    WaitForView(*window);
    ASSERT_EQ(edited.size(), 1u);
    EXPECT_EQ(edited[0], (std::pair<std::int32_t, std::int32_t>{ShoppingDatabase::kProducts, 0}));
    EXPECT_EQ(window->folder(), FolderKind::ShoppingList);
    EXPECT_EQ(ListModel(*window)->rowCount(), 2);

    // Open in the Shopping List runs the editor on the chosen product.
    Choose(*window, 0);
    WaitForView(*window);
    EXPECT_TRUE(bar->open()->isEnabled());
    const std::int32_t chosen = ListModel(*window)->key(0).id;
    bar->open()->trigger();
    WaitForView(*window);
    ASSERT_EQ(edited.size(), 2u);
    EXPECT_EQ(edited[1], (std::pair<std::int32_t, std::int32_t>{ShoppingDatabase::kProducts, chosen}));
    EXPECT_EQ(ListModel(*window)->rowCount(), 3);

    // Compare Prices shows the comparison it saved, although no tree item is chosen.
    std::int32_t search = 0;
    {
        ResultList results;
        PriceResult offer;
        offer.name = "kettle";
        offer.price = 20;
        results.Insert(offer);
        SearchIndex index;
        search = index.SaveSearch(1, "kettle", results);
    }
    std::vector<QString> asked;
    window->SetPriceComparisonRunner([&](QWidget*, const QString& itemName) {
        asked.push_back(itemName);
        return asked.size() == 1 ? 0 : search;
    });
    EXPECT_TRUE(bar->comparePrices()->isEnabled());
    bar->comparePrices()->trigger();
    WaitForView(*window);
    EXPECT_EQ(window->folder(), FolderKind::ShoppingList);
    emit summary->quickTaskChosen(SummaryPage::QuickTask::ComparePrices);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_TRUE(asked[1].isEmpty());
    EXPECT_EQ(window->folder(), FolderKind::PriceComparisons);
    // The only comparison saved is the one whose offers show.
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("kettle")});
}

// After a save the product is in sight: chosen in the list, in the whole list when a search or the
// tree hid it, or told with its due day when that lies past the view's end.
TEST_F(MainWindowCommandsTest, AfterASaveTheProductIsChosenOrItsDueDayTold)
{
    struct Case
    {
        const char* name;
        const char* search; // the search applied before the save
        std::uint16_t purchaseType;
        std::int32_t dayValue;
        bool listed;
        const char* notice;
    };
    const std::vector<Case> cases{
        {"due today", nullptr, 0, 0, true, ""},
        {"hidden by a search", "milk", 0, 0, true, ""},
        {"due on the 16th", nullptr, 4, 16, false, "Tea is due on 16 Mar 2026."},
        {"due on the 16th, under a search", "milk", 4, 16, false, "Tea is due on 16 Mar 2026."},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        AddProduct("Milk");
        auto window = StartHidden();
        window->ShowFolder(FolderKind::ShoppingList);
        WaitForView(*window);
        if (test.search != nullptr) {
            window->ApplySearch(QString::fromLatin1(test.search));
            WaitForView(*window);
        }
        std::int32_t saved = 0;
        window->SetProductEditorOpener(
            [&](QWidget*, ShoppingDatabase& shopping, std::int32_t kind, std::int32_t) {
                ShoppingValues values;
                values.name = "Tea";
                values.quantity = 1;
                values.purchaseType = test.purchaseType;
                values.dayValue = test.dayValue;
                values.interval = test.purchaseType != 0 ? 1 : 0;
                values.startDate = kTen - 60;
                std::optional<ShoppingRecord> record = shopping.AddRecord(kind, values);
                saved = record ? record->id : 0;
                return record;
            });
        window->NewProduct();
        WaitForView(*window);
        ASSERT_GT(saved, 0);
        const QModelIndexList chosen = ItemList(*window)->selectionModel()->selectedRows();
        if (test.listed) {
            ASSERT_EQ(chosen.size(), 1);
            EXPECT_EQ(ListModel(*window)->key(chosen.front().row()).id, saved);
            EXPECT_FALSE(window->viewFilter().keyword);
        } else {
            EXPECT_TRUE(chosen.isEmpty());
        }
        auto* notice = window->findChild<DueNotice*>(QStringLiteral("dueNotice"));
        ASSERT_NE(notice, nullptr);
        EXPECT_EQ(notice->isVisibleTo(window.get()), test.notice[0] != '\0');
        if (test.notice[0] != '\0') {
            EXPECT_EQ(notice->text()->text(), QString::fromLatin1(test.notice));
            notice->showButton()->click();
            WaitForView(*window);
            ASSERT_EQ(ItemList(*window)->selectionModel()->selectedRows().size(), 1);
            EXPECT_EQ(
                ListModel(*window)->key(ItemList(*window)->selectionModel()->selectedRows().front().row()).id,
                saved);
            // Another folder brings back the time filter's own end.
            window->ShowFolder(FolderKind::ShoppingList);
            WaitForView(*window);
            EXPECT_EQ(window->viewFilter().to, kTonight);
        }
        window.reset();
        std::filesystem::remove(dir_.File("product.dat"));
    }
}

} // namespace
} // namespace tallyhawk
