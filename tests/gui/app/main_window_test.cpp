#include "core/common/site_addresses.h"
#include "core/common/time_span.h"
#include "core/compare/result_list.h"
#include "core/compare/search_index.h"
#include "core/platform/browser_launcher.h"
#include "core/settings/settings.h"
#include "core/settings/site_url.h"
#include "core/shopping/shopping_database.h"
#include "core/store/item_store.h"
#include "core/update/weekly_upkeep.h"
#include "gui/app/cash_back_pane.h"
#include "gui/app/folder_pane.h"
#include "gui/app/main_tool_bar.h"
#include "gui/app/main_window.h"
#include "gui/app/main_window_fixture.h"
#include "gui/app/tray_controller.h"
#include "gui/app/view_tree.h"
#include "gui/controls/time_filter_button.h"
#include "gui/views/item_list_model.h"
#include "gui/views/search_dialog.h"
#include "support/mock_clock.h"
#include "support/preset_message_boxes.h"
#include "support/scoped_current_folder.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"

#include <QAction>
#include <QCoreApplication>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace tallyhawk
{
namespace
{

class MainWindowTest : public MainWindowFixture
{ };

TEST_F(MainWindowTest, StartsOnCouponsAndDealsOverTheLastSevenDays)
{
    ASSERT_TRUE(cwd_.entered());
    AddItem("deal.lst", 1, 1, "old coupon", kTonight - TimeSpan::kLast7Days - 1);
    AddItem("deal.lst", 2, 2, "week deal", kTonight - TimeSpan::kLast7Days);
    AddItem("deal.lst", 3, 1, "new coupon", kTen - 60);
    AddItem("topic.lst", 4, 3, "a topic", kTen - 60);

    auto window = StartHidden();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tallyhawk"));
    EXPECT_EQ(window->folder(), FolderKind::CouponsAndDeals);
    EXPECT_EQ(Bar(*window)->timeFilter()->text(), QStringLiteral("Last 7 Days"));
    EXPECT_EQ(window->viewFilter().to, kTonight);
    EXPECT_EQ(window->viewFilter().from, kTonight - TimeSpan::kLast7Days);
    EXPECT_EQ(FirstColumn(*window), (QStringList{QStringLiteral("new coupon"), QStringLiteral("week deal")}));
    EXPECT_EQ(ListModel(*window)->index(0, 1).data().toString(), QStringLiteral("Corner Shop"));
    EXPECT_EQ(Pane(*window)->caption(), QStringLiteral("Coupons & Deals"));
    EXPECT_EQ(View(*window)->caption(), QStringLiteral("Coupons & Deals"));
    EXPECT_TRUE(Pane(*window)
                    ->button(FolderKind::CouponsAndDeals)
                    ->text()
                    .startsWith(QStringLiteral("Coupons && Deals")));
    EXPECT_TRUE(Pane(*window)->button(FolderKind::CouponsAndDeals)->isChecked());
}

TEST_F(MainWindowTest, FolderButtonsStandInOrderAndFillEachFolder)
{
    AddItem("topic.lst", 4, 3, "a topic", kTen - 60);
    {
        ResultList results;
        for (auto [id, name, price] : {std::tuple{1, "shoe A", 30.0}, std::tuple{2, "shoe B", 12.5}}) {
            PriceResult offer;
            offer.id = id;
            offer.name = name;
            offer.siteName = "Shoe Site";
            offer.price = price;
            results.Insert(offer);
        }
        SearchIndex index;
        ASSERT_EQ(index.SaveSearch(1, "red shoes", results), 2);
        ShoppingDatabase shopping;
        shopping.Open();
        ShoppingValues product;
        product.name = "Milk";
        product.quantity = 2;
        ASSERT_TRUE(shopping.AddRecord(ShoppingDatabase::kProducts, product));
        ShoppingValues purchase;
        purchase.name = "Bread";
        purchase.startDate = kTen - 3600;
        ASSERT_TRUE(shopping.AddRecord(ShoppingDatabase::kPurchases, purchase));
    }
    auto window = StartHidden();
    FolderPane* pane = Pane(*window);
    const QList<QPushButton*> buttons = pane->findChildren<QPushButton*>();
    QStringList order;
    for (QPushButton* button : buttons) {
        // Without an unread count the buttons may carry by now.
        order << button->text().section(QStringLiteral(" ("), 0, 0);
    }
    EXPECT_EQ(order,
              (QStringList{QStringLiteral("Today's Summary"),
                           QStringLiteral("Coupons && Deals"),
                           QStringLiteral("Cash Back Stores"),
                           QStringLiteral("Shopping List"),
                           QStringLiteral("Purchase History"),
                           QStringLiteral("Price Comparisons"),
                           QStringLiteral("Forum Topics")}));

    MainToolBar* bar = Bar(*window);
    pane->button(FolderKind::ForumTopics)->click();
    WaitForView(*window);
    EXPECT_EQ(window->folder(), FolderKind::ForumTopics);
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("a topic")});
    EXPECT_EQ(pane->caption(), QStringLiteral("Forum Topics"));
    EXPECT_EQ(bar->details()->text(), QStringLiteral("Topic Details"));
    EXPECT_EQ(bar->remove()->text(), QStringLiteral("Delete Topic"));
    EXPECT_EQ(bar->print()->text(), QStringLiteral("Print Topics"));
    EXPECT_TRUE(bar->find()->isEnabled());
    EXPECT_FALSE(bar->details()->isEnabled());
    EXPECT_FALSE(bar->open()->isEnabled());
    EXPECT_FALSE(bar->remove()->isEnabled());

    // No comparison chosen: the comparisons in the tree, an empty list; choosing one shows its offers,
    // the lowest price first.
    pane->button(FolderKind::PriceComparisons)->click();
    WaitForView(*window);
    EXPECT_EQ(ListModel(*window)->rowCount(), 0);
    ViewTree* tree = pane->tree();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("Online Prices"));
    ASSERT_EQ(tree->topLevelItem(0)->childCount(), 1);
    tree->topLevelItem(0)->child(0)->setSelected(true);
    WaitForView(*window);
    EXPECT_EQ(FirstColumn(*window), (QStringList{QStringLiteral("shoe B"), QStringLiteral("shoe A")}));
    EXPECT_EQ(ListModel(*window)->index(0, 0).data(ItemListModel::CornerRole).toString(),
              QStringLiteral("$12.50"));
    EXPECT_EQ(View(*window)->caption(), QStringLiteral("Price Comparisons: red shoes"));
    EXPECT_EQ(bar->details()->text(), QStringLiteral("Result Details"));
    EXPECT_FALSE(bar->find()->isEnabled());

    pane->button(FolderKind::ShoppingList)->click();
    WaitForView(*window);
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("Milk")});
    EXPECT_EQ(bar->details()->text(), QStringLiteral("Purchase Product"));
    EXPECT_EQ(bar->open()->text(), QStringLiteral("Edit Product"));
    EXPECT_EQ(bar->print()->text(), QStringLiteral("Print Products"));

    pane->button(FolderKind::PurchaseHistory)->click();
    WaitForView(*window);
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("Bread")});
    EXPECT_EQ(View(*window)->caption(), QStringLiteral("Purchase History"));

    // The folders without a list empty it; Print keeps the caption of the folder before.
    pane->button(FolderKind::TodaysSummary)->click();
    WaitForView(*window);
    EXPECT_EQ(ListModel(*window)->rowCount(), 0);
    EXPECT_EQ(pane->caption(), QStringLiteral("Today's Summary"));
    EXPECT_EQ(bar->details()->text(), QStringLiteral("Details"));
    EXPECT_EQ(bar->find()->text(), QStringLiteral("Find"));
    EXPECT_EQ(bar->print()->text(), QStringLiteral("Print Products"));
    EXPECT_FALSE(bar->find()->isEnabled());

    pane->button(FolderKind::CashBackStores)->click();
    WaitForView(*window);
    EXPECT_EQ(window->folder(), FolderKind::CashBackStores);
    EXPECT_EQ(View(*window)->caption(), QStringLiteral("Cash Back Stores"));
    EXPECT_FALSE(bar->find()->isEnabled());

    pane->button(FolderKind::CouponsAndDeals)->click();
    WaitForView(*window);
    EXPECT_EQ(bar->details()->text(), QStringLiteral("Coupon Details"));
    EXPECT_EQ(bar->open()->text(), QStringLiteral("Open In Browser"));
    EXPECT_TRUE(bar->find()->isEnabled());
}

TEST_F(MainWindowTest, TimeFilterMenuSetsTheRangeEndingTonight)
{
    const std::int32_t threeDaysBack = kTonight - TimeSpan::kLast3Days;
    AddItem("deal.lst", 1, 2, "just outside", threeDaysBack - 1);
    AddItem("deal.lst", 2, 2, "first second", threeDaysBack);
    AddItem("deal.lst", 3, 2, "this morning", kTen - 3 * 3600);
    AddItem("deal.lst", 4, 2, "last week", kTen - 6 * 86400);
    auto window = StartHidden();
    TimeFilterButton* filter = Bar(*window)->timeFilter();
    const QList<QAction*> entries = filter->menu()->actions();
    QStringList texts;
    for (QAction* entry : entries) {
        texts << entry->text();
    }
    EXPECT_EQ(texts,
              (QStringList{QStringLiteral("Today"),
                           QStringLiteral("Last 3 Days"),
                           QStringLiteral("Last 7 Days"),
                           QStringLiteral("Last 30 Days"),
                           QStringLiteral("Last 60 Days"),
                           QStringLiteral("Last 90 Days"),
                           QStringLiteral("Last 180 Days")}));

    entries[1]->trigger();
    WaitForView(*window);
    EXPECT_EQ(filter->text(), QStringLiteral("Last 3 Days"));
    EXPECT_EQ(window->viewFilter().from, threeDaysBack);
    EXPECT_EQ(window->viewFilter().to, kTonight);
    EXPECT_EQ(FirstColumn(*window),
              (QStringList{QStringLiteral("this morning"), QStringLiteral("first second")}));

    entries[0]->trigger();
    WaitForView(*window);
    EXPECT_EQ(filter->text(), QStringLiteral("Today"));
    EXPECT_EQ(window->viewFilter().from, *LocalTime(2026, 3, 10, 0, 0, 0));
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("this morning")});

    // A folder switch keeps the range.
    Pane(*window)->button(FolderKind::ForumTopics)->click();
    WaitForView(*window);
    Pane(*window)->button(FolderKind::CouponsAndDeals)->click();
    WaitForView(*window);
    EXPECT_EQ(filter->text(), QStringLiteral("Today"));
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("this morning")});

    entries[3]->trigger();
    WaitForView(*window);
    EXPECT_EQ(ListModel(*window)->rowCount(), 4);
}

TEST_F(MainWindowTest, TreeNarrowsToAStoreOrCategoryAndIsRebuiltFromWhatRemains)
{
    AddItem("deal.lst", 3, 2, "old saw", kTen - 20 * 86400, 7, "Corner Shop", 4, "Tools");
    AddItem("deal.lst", 1, 2, "bread", kTen - 60, 7, "Corner Shop", 3, "Food");
    AddItem("deal.lst", 2, 2, "hammer", kTen - 50, 8, "Big Mart", 4, "Tools");
    AddItem("topic.lst", 4, 3, "hello", kTen - 40, 9, "someone", 5, "Chat");
    auto window = StartHidden();
    ViewTree* tree = Pane(*window)->tree();
    EXPECT_EQ(TreeTexts(*tree),
              (QStringList{QStringLiteral("All Stores"),
                           QStringLiteral("  Corner Shop"),
                           QStringLiteral("  Big Mart"),
                           QStringLiteral("All Categories"),
                           QStringLiteral("  Food"),
                           QStringLiteral("  Tools")}));
    EXPECT_TRUE(tree->selectedItems().isEmpty());

    tree->topLevelItem(1)->child(1)->setSelected(true);
    WaitForView(*window);
    EXPECT_EQ(window->viewFilter().categoryId, 4);
    EXPECT_EQ(window->viewFilter().storeId, 0);
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("hammer")});
    EXPECT_EQ(View(*window)->caption(), QStringLiteral("Coupons & Deals: Tools"));

    // A longer range keeps the category and rebuilds the tree from the items it shows.
    Bar(*window)->timeFilter()->Choose(TimeSpan::kLast30Days);
    WaitForView(*window);
    EXPECT_EQ(FirstColumn(*window), (QStringList{QStringLiteral("hammer"), QStringLiteral("old saw")}));
    EXPECT_EQ(TreeTexts(*tree),
              (QStringList{QStringLiteral("All Stores"),
                           QStringLiteral("  Corner Shop"),
                           QStringLiteral("  Big Mart"),
                           QStringLiteral("All Categories"),
                           QStringLiteral("  Tools")}));

    // The root of the stores shows them all again.
    tree->topLevelItem(0)->setSelected(true);
    WaitForView(*window);
    EXPECT_EQ(window->viewFilter().storeId, 0);
    EXPECT_EQ(window->viewFilter().categoryId, 0);
    EXPECT_EQ(ListModel(*window)->rowCount(), 3);

    Pane(*window)->button(FolderKind::ForumTopics)->click();
    WaitForView(*window);
    EXPECT_EQ(TreeTexts(*tree),
              (QStringList{QStringLiteral("All Users"),
                           QStringLiteral("  someone"),
                           QStringLiteral("All Categories"),
                           QStringLiteral("  Chat")}));
    Pane(*window)->button(FolderKind::TodaysSummary)->click();
    WaitForView(*window);
    EXPECT_EQ(tree->topLevelItemCount(), 0);
}

TEST_F(MainWindowTest, ChoosingAnUnreadItemMarksItReadInItsFile)
{
    AddItem("deal.lst", 1, 2, "first deal", kTen - 60);
    AddItem("deal.lst", 2, 1, "second coupon", kTen - 50);
    auto window = StartHidden();
    ItemListModel* model = ListModel(*window);
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_TRUE(model->index(0, 0).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_TRUE(model->index(1, 0).data(Qt::FontRole).value<QFont>().bold());

    ItemList(*window)->setCurrentIndex(model->index(0, 0));
    WaitForView(*window);
    EXPECT_FALSE(model->index(0, 0).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_TRUE(model->index(1, 0).data(Qt::FontRole).value<QFont>().bold());

    ItemStore check;
    check.Open("deal.lst");
    ASSERT_EQ(check.Load(), kOk);
    ASSERT_EQ(check.Count(), 2u);
    EXPECT_EQ(check.At(0)->id, 2);
    EXPECT_EQ(check.At(0)->read, 1);
    EXPECT_EQ(check.At(1)->read, 0);

    // It stays read after a restart.
    window.reset();
    auto again = StartHidden();
    EXPECT_FALSE(ListModel(*again)->index(0, 0).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_TRUE(ListModel(*again)->index(1, 0).data(Qt::FontRole).value<QFont>().bold());
}

TEST_F(MainWindowTest, OpenDetailsAndDeleteActOnTheChosenItem)
{
    AddItem("deal.lst", 11, 2, "a deal", kTen - 60);
    AddItem("deal.lst", 12, 1, "a coupon", kTen - 50);
    AddItem("topic.lst", 13, 3, "a topic", kTen - 40);
    auto window = StartHidden();
    std::vector<std::vector<std::string>> started;
    window->SetBrowser(std::make_unique<BrowserLauncher>(
        [&](const std::vector<std::string>& argv) {
            started.push_back(argv);
            return true;
        },
        [](const std::vector<std::string>&) { return std::optional<std::string>(); }));
    PresetMessageBoxes boxes;
    Settings settings(SettingsFile());
    const std::string base = SiteBaseUrl(settings);
    MainToolBar* bar = Bar(*window);
    EXPECT_FALSE(bar->open()->isEnabled());

    ItemList(*window)->setCurrentIndex(ListModel(*window)->index(0, 0));
    WaitForView(*window);
    EXPECT_TRUE(bar->open()->isEnabled());
    EXPECT_TRUE(bar->details()->isEnabled());
    EXPECT_TRUE(bar->remove()->isEnabled());
    bar->open()->trigger();
    WaitForView(*window);
    bar->details()->trigger();
    WaitForView(*window);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].back(), RedirectPageUrl(base, 1, 12));
    EXPECT_EQ(started[1].back(), CouponPageUrl(base, 12));

    bar->remove()->trigger();
    WaitForView(*window);
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("a deal")});
    EXPECT_FALSE(bar->remove()->isEnabled());
    // The row left is not chosen, so it stays unread.
    EXPECT_TRUE(ListModel(*window)->index(0, 0).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_TRUE(boxes.shown().empty());
    {
        ItemStore check;
        check.Open("deal.lst");
        ASSERT_EQ(check.Load(), kOk);
        ASSERT_EQ(check.Count(), 1u);
        EXPECT_EQ(check.At(0)->id, 11);
    }

    Pane(*window)->button(FolderKind::ForumTopics)->click();
    WaitForView(*window);
    EXPECT_FALSE(bar->open()->isEnabled());
    ItemList(*window)->setCurrentIndex(ListModel(*window)->index(0, 0));
    WaitForView(*window);
    bar->open()->trigger();
    WaitForView(*window);
    bar->details()->trigger();
    WaitForView(*window);
    ASSERT_EQ(started.size(), 4u);
    EXPECT_EQ(started[2].back(), MessagesPageUrl(base, 3, 13));
    EXPECT_EQ(started[3].back(), MessagesPageUrl(base, 3, 13));

    // A file that cannot be changed is told; the row stays removed.
    std::filesystem::remove(dir_.File("topic.lst"));
    bar->remove()->trigger();
    WaitForView(*window);
    EXPECT_EQ(ListModel(*window)->rowCount(), 0);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.lastText().startsWith(
        QStringLiteral("There was an error while deleting the selected deal(s).")));

    // Without an embedded browser, Cash Back Stores shows its address and opens it on request.
    Pane(*window)->button(FolderKind::CashBackStores)->click();
    WaitForView(*window);
    auto* cashBack = window->findChild<CashBackPane*>(QStringLiteral("cashBackPane"));
    ASSERT_NE(cashBack, nullptr);
    ASSERT_EQ(View(*window)->currentPage(), cashBack);
    EXPECT_EQ(cashBack->address()->text().toStdString(), CashBackStoresUrl(base));
    emit cashBack->link()->linkActivated(QStringLiteral("open"));
    ASSERT_EQ(started.size(), 5u);
    EXPECT_EQ(started[4].back(), CashBackStoresUrl(base));
    Pane(*window)->button(FolderKind::TodaysSummary)->click();
    WaitForView(*window);
    EXPECT_NE(View(*window)->currentPage(), cashBack);
}

TEST_F(MainWindowTest, EmptyFoldersShowNoItemsFoundOrNothing)
{
    // No "deal.lst" at all: the list and the tree stay empty.
    auto window = StartHidden();
    EXPECT_EQ(ListModel(*window)->rowCount(), 0);
    EXPECT_EQ(Pane(*window)->tree()->topLevelItemCount(), 0);

    Pane(*window)->button(FolderKind::ShoppingList)->click();
    WaitForView(*window);
    EXPECT_EQ(TreeTexts(*Pane(*window)->tree()), QStringList{QStringLiteral("No Items Found")});
    Pane(*window)->button(FolderKind::PriceComparisons)->click();
    WaitForView(*window);
    EXPECT_EQ(TreeTexts(*Pane(*window)->tree()), QStringList{QStringLiteral("No Items Found")});
}

// The list is found by its name, and each load says when its rows show: the summary's counts too, but
// not the cash back page, which has nothing to load.
TEST_F(MainWindowTest, EveryShownLoadIsSignalledOnce)
{
    AddItem("deal.lst", 1, 1, "a coupon", kTen - 60);
    auto window = StartHidden();
    const auto* list = window->findChild<QTreeView*>(QStringLiteral("itemList"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->model()->rowCount(), 1);

    QSignalSpy loaded(window.get(), &MainWindow::viewLoaded);
    window->RefreshView(true);
    WaitForView(*window);
    EXPECT_EQ(loaded.count(), 1);
    window->ShowFolder(FolderKind::TodaysSummary);
    WaitForView(*window);
    EXPECT_EQ(loaded.count(), 2);
    window->ShowFolder(FolderKind::CashBackStores);
    WaitForView(*window);
    window->RefreshView(true);
    WaitForView(*window);
    EXPECT_EQ(loaded.count(), 2);
}

TEST_F(MainWindowTest, FindNarrowsTheFolderAndAnEmptyTextShowsItWhole)
{
    AddItem("deal.lst", 1, 2, "red shoes", kTen - 60);
    AddItem("deal.lst", 2, 2, "blue hat", kTen - 50);
    auto window = StartHidden();
    std::optional<QString> answer = QStringLiteral("red");
    QStringList asked;
    window->SetSearchPrompt([&](const QString& initialText) {
        asked << initialText;
        return answer;
    });

    window->Find();
    WaitForView(*window);
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("red shoes")});
    EXPECT_EQ(View(*window)->caption(), QStringLiteral("Coupons & Deals: search results for red"));
    ASSERT_TRUE(window->viewFilter().keyword);
    EXPECT_EQ(*window->viewFilter().keyword, "red");

    // Cancel changes nothing; the next Find starts from the keyword.
    answer.reset();
    window->Find();
    WaitForView(*window);
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("red shoes")});

    answer = QString();
    Command(*window, "actionFind")->trigger();
    WaitForView(*window);
    EXPECT_EQ(asked, (QStringList{QString(), QStringLiteral("red"), QStringLiteral("red")}));
    EXPECT_FALSE(window->viewFilter().keyword);
    EXPECT_EQ(View(*window)->caption(), QStringLiteral("Coupons & Deals"));
    EXPECT_EQ(FirstColumn(*window), (QStringList{QStringLiteral("blue hat"), QStringLiteral("red shoes")}));

    // A folder switch drops the keyword.
    window->ApplySearch(QStringLiteral("blue"));
    WaitForView(*window);
    EXPECT_EQ(ListModel(*window)->rowCount(), 1);
    Pane(*window)->button(FolderKind::ForumTopics)->click();
    WaitForView(*window);
    Pane(*window)->button(FolderKind::CouponsAndDeals)->click();
    WaitForView(*window);
    EXPECT_FALSE(window->viewFilter().keyword);
    EXPECT_EQ(ListModel(*window)->rowCount(), 2);
}

TEST(SearchDialogTest, SearchKeepsTheTypedTextAndCancelLeavesItEmpty)
{
    SearchDialog dialog(QStringLiteral("milk"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Search"));
    EXPECT_EQ(dialog.edit()->text(), QStringLiteral("milk"));
    EXPECT_TRUE(dialog.searchButton()->isDefault());
    dialog.show();
    dialog.edit()->clear();
    QTest::keyClicks(dialog.edit(), QStringLiteral("bread"));
    dialog.searchButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.resultText(), QStringLiteral("bread"));

    SearchDialog other(QStringLiteral("milk"));
    other.show();
    other.cancelButton()->click();
    EXPECT_EQ(other.result(), QDialog::Rejected);
    EXPECT_TRUE(other.resultText().isEmpty());
}

TEST_F(MainWindowTest, CloseAndMinimizeHideWhileATrayExists)
{
    auto window = StartHidden();
    EXPECT_FALSE(window->isVisible());
    Tray(*window).DoubleClick();
    EXPECT_TRUE(window->isVisible());

    EXPECT_FALSE(window->close());
    EXPECT_FALSE(window->isVisible());

    Tray(*window).showAction()->trigger();
    WaitForView(*window);
    EXPECT_TRUE(window->isVisible());
    window->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, WithoutATrayTheWindowMinimizesInstead)
{
    auto window = std::make_unique<MainWindow>(SettingsFile());
    Tray(*window).OverrideAvailable(false);
    window->Start(true);
    WaitForView(*window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());

    window->showNormal();
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
}

TEST_F(MainWindowTest, ExitAndControlQEndTheProgram)
{
    auto window = StartHidden();
    Tray(*window).exitAction()->trigger();
    WaitForView(*window);
    window->show();
    EXPECT_TRUE(window->close());

    auto other = StartHidden();
    QAction* quit = nullptr;
    for (QAction* action : other->actions()) {
        if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_Q)) {
            quit = action;
        }
    }
    ASSERT_NE(quit, nullptr);
    other->show();
    EXPECT_FALSE(other->close());
    quit->trigger();
    WaitForView(*window);
    other->show();
    EXPECT_TRUE(other->close());
}

TEST_F(MainWindowTest, WeeklyUpkeepRunsAtStartOnceAWeekHasPassed)
{
    const auto withDeleted = [&] {
        AddItem("deal.lst", 1, 2, "kept", kTen - 60);
        AddItem("deal.lst", 2, 2, "deleted", kTen - 50);
        ItemStore store;
        store.Open("deal.lst");
        ASSERT_EQ(store.Delete(2, 2), 2);
    };
    const auto fileSize = [&] {
        return std::filesystem::file_size(dir_.File("deal.lst"));
    };
    // The site lists are asked for by the update cycle when the upkeep finds them due; the cycle has
    // ended once its download timer runs.
    test::TestHttpServer site;
    PointAtServer(1, site.port());
    const auto listsAsked = [&] {
        const std::size_t asked = site.RequestCount();
        auto window = StartHidden();
        auto* timer = window->findChild<QTimer*>(QStringLiteral("downloadTimer"));
        EXPECT_NE(timer, nullptr);
        EXPECT_TRUE(QTest::qWaitFor([&] { return timer != nullptr && timer->isActive(); }, 10000));
        return site.RequestCount() > asked;
    };
    Settings settings(SettingsFile());

    // First start: nothing archived, the lists due, "LastArchive" written.
    withDeleted();
    const auto before = fileSize();
    EXPECT_TRUE(listsAsked());
    EXPECT_EQ(settings.ReadLastArchive(), kTen);
    EXPECT_EQ(fileSize(), before);
    // As the update cycle does once it refreshed the lists.
    WeeklyUpkeep::MarkRefreshDone(settings);

    // One second short of a week: nothing happens.
    clock_.Set(kTen + 604800 - 1);
    EXPECT_FALSE(listsAsked());
    EXPECT_EQ(settings.ReadLastArchive(), kTen);
    EXPECT_EQ(fileSize(), before);

    // Exactly a week: archived (the deleted record leaves the file) and "LastArchive" moves on.
    clock_.Set(kTen + 604800);
    EXPECT_TRUE(listsAsked());
    EXPECT_EQ(settings.ReadLastArchive(), kTen + 604800);
    EXPECT_LT(fileSize(), before);
}

TEST_F(MainWindowTest, HelpMenuHoldsTheAboutEntry)
{
    auto window = StartHidden();
    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_FALSE(menus.isEmpty());
    EXPECT_EQ(menus.back()->text(), QStringLiteral("&Help"));
    ASSERT_NE(menus.back()->menu(), nullptr);
    EXPECT_EQ(menus.back()->menu()->actions().back()->text(), QStringLiteral("About..."));
}

TEST_F(MainWindowTest, TrayTipFollowsTheWindowTitle)
{
    auto window = StartHidden();
    EXPECT_EQ(Tray(*window).tip(), QStringLiteral("Tallyhawk"));
    const QString longTitle = QStringLiteral("Tallyhawk - ") + QString(200, QLatin1Char('x'));
    window->setWindowTitle(longTitle);
    EXPECT_EQ(Tray(*window).tip(), longTitle.left(127));
}

} // namespace
} // namespace tallyhawk
