#include "core/common/site_addresses.h"
#include "core/compare/result_list.h"
#include "core/compare/search_index.h"
#include "core/shopping/shopping_database.h"
#include "core/store/item_store.h"
#include "gui/app/folder_pane.h"
#include "gui/app/main_tool_bar.h"
#include "gui/app/main_window.h"
#include "gui/app/main_window_fixture.h"
#include "gui/app/view_tree.h"
#include "gui/app/window_update_host.h"
#include "gui/views/item_list_model.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk
{
namespace
{

// The list as a window kept open meets it: shown, items arriving, searched, right-clicked.
class MainWindowListsTest : public MainWindowFixture
{
protected:
    std::unique_ptr<MainWindow> StartShown()
    {
        auto window = StartHidden();
        window->resize(900, 420);
        window->ShowFromTray();
        WaitForView(*window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }

    // Newest first in the list: the deal `id` arrived `id` seconds after the first.
    void AddDeal(std::int32_t id,
                 const char* title,
                 std::int32_t storeId = 7,
                 const char* storeName = "Corner Shop",
                 std::int32_t categoryId = 3,
                 const char* categoryName = "Food")
    {
        AddItem("deal.lst", id, 2, title, kTen - 3600 + id, storeId, storeName, categoryId, categoryName);
    }

    // What a pass that stored items asks of the window.
    static void PassStored(MainWindow& window)
    {
        // The host hands the call to the window through its event queue.
        window.findChild<WindowUpdateHost*>(QStringLiteral("updateHost"))->RefreshView(true);
        EXPECT_TRUE(QTest::qWaitFor([&window] { return window.busy(); }));
        WaitForView(window);
    }

    static std::vector<std::int32_t> ReadInFile()
    {
        ItemStore check;
        check.Open("deal.lst");
        EXPECT_EQ(check.Load(), kOk);
        std::vector<std::int32_t> read;
        for (std::size_t i = 0; i < check.Count(); ++i) {
            if (check.At(i)->read != 0) {
                read.push_back(check.At(i)->id);
            }
        }
        return read;
    }

    static int RowOf(const MainWindow& window, std::int32_t id)
    {
        const ItemListModel* model = ListModel(window);
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->key(row).id == id) {
                return row;
            }
        }
        return -1;
    }

    static void Choose(MainWindow& window, std::int32_t id)
    {
        ItemList(window)->setCurrentIndex(ListModel(window)->index(RowOf(window, id), 0));
        WaitForView(window);
    }

    static std::int32_t ChosenId(const MainWindow& window)
    {
        const QModelIndexList rows = ItemList(window)->selectionModel()->selectedRows();
        return rows.isEmpty() ? 0 : ListModel(window)->key(rows.front().row()).id;
    }

    static std::int32_t TopId(const MainWindow& window)
    {
        return ListModel(window)->key(ItemList(window)->indexAt(QPoint(1, 1)).row()).id;
    }

    static QLineEdit* Field(const MainWindow& window) { return Named<QLineEdit>(window, "searchField"); }

    // Right-clicks the row of `id`; the row menu, open.
    static QMenu* RightClick(MainWindow& window, std::int32_t id)
    {
        QTreeView* list = ItemList(window);
        const QPoint pos = list->visualRect(ListModel(window)->index(RowOf(window, id), 0)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, list->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(list->viewport(), &event);
        auto* menu = Named<QMenu>(window, "rowMenu");
        if (menu == nullptr) {
            return nullptr;
        }
        EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }));
        return menu;
    }

    static QStringList Entries(const QMenu& menu)
    {
        QStringList names;
        for (const QAction* action : menu.actions()) {
            names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
        }
        return names;
    }

    static std::string Site() { return "http://127.0.0.1:1"; }
};

struct Arrival
{
    const char* name;
    bool scrolled;
    bool chosenGoes;
};

// Items a pass stored join the open list where they belong; the chosen row and the rows in sight stay,
// and nothing is marked read by it.
TEST_F(MainWindowListsTest, ItemsFromAPassGoInPlaceKeepingTheChoiceAndTheRowsInSight)
{
    const std::vector<Arrival> arrivals{
        {"scrolled to the middle", true, false},
        {"at the top, where the newest show", false, false},
        {"the chosen item deleted by another program", true, true},
    };
    for (const Arrival& arrival : arrivals) {
        SCOPED_TRACE(arrival.name);
        std::filesystem::remove("deal.lst");
        for (std::int32_t id = 1; id <= 40; ++id) {
            AddDeal(id, ("deal " + std::to_string(id)).c_str());
        }
        auto window = StartShown();
        ASSERT_EQ(ListModel(*window)->rowCount(), 40);
        Choose(*window, 15);
        if (arrival.scrolled) {
            ItemList(*window)->scrollTo(ListModel(*window)->index(RowOf(*window, 20), 0),
                                        QAbstractItemView::PositionAtTop);
        } else {
            ItemList(*window)->scrollToTop();
        }
        const std::int32_t top = TopId(*window);
        ASSERT_EQ(ReadInFile(), std::vector<std::int32_t>{15});

        for (std::int32_t id = 41; id <= 43; ++id) {
            AddDeal(id, "arrived");
        }
        if (arrival.chosenGoes) {
            ItemStore other;
            other.Open("deal.lst");
            ASSERT_EQ(other.Load(), kOk);
            ASSERT_GE(other.Delete(15, 2), 0);
        }
        PassStored(*window);

        EXPECT_EQ(ListModel(*window)->rowCount(), arrival.chosenGoes ? 42 : 43);
        EXPECT_EQ(ListModel(*window)->key(0).id, 43);
        EXPECT_EQ(ReadInFile(),
                  arrival.chosenGoes ? std::vector<std::int32_t>{} : std::vector<std::int32_t>{15});
        EXPECT_EQ(ChosenId(*window), arrival.chosenGoes ? 0 : 15);
        EXPECT_EQ(Command(*window, "actionDelete")->isEnabled(), !arrival.chosenGoes);
        EXPECT_EQ(TopId(*window), arrival.scrolled ? top : 43);
    }
}

struct Typed
{
    const char* text;
    QStringList titles;
};

// Typing narrows the list by Find's word rules: every word, anywhere, letters in any case.
TEST_F(MainWindowListsTest, TypingInTheSearchFieldNarrowsTheListByFindsWordRules)
{
    AddDeal(1, "Electric kettle");
    AddDeal(2, "Kettle descaler");
    AddDeal(3, "Coffee beans");
    AddDeal(4, "Electric toothbrush");
    auto window = StartShown();
    ASSERT_NE(Field(*window), nullptr);
    const std::vector<Typed> typed{
        {"kettle", {QStringLiteral("Kettle descaler"), QStringLiteral("Electric kettle")}},
        {"ELECTRIC kettle", {QStringLiteral("Electric kettle")}},
        {"kettle electric", {QStringLiteral("Electric kettle")}},
        {"ett", {QStringLiteral("Kettle descaler"), QStringLiteral("Electric kettle")}},
        {"kettle tea", {}},
    };
    for (const Typed& each : typed) {
        SCOPED_TRACE(each.text);
        QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
        ASSERT_TRUE(Field(*window)->hasFocus());
        QTest::keyClicks(Field(*window), QString::fromLatin1(each.text));
        QTRY_COMPARE(View(*window)->caption(),
                     QStringLiteral("Coupons & Deals: search results for ") + QString::fromLatin1(each.text));
        EXPECT_EQ(FirstColumn(*window), each.titles);

        // Escape empties the field and shows the whole folder again.
        QTest::keyClick(Field(*window), Qt::Key_Escape);
        QTRY_COMPARE(View(*window)->caption(), QStringLiteral("Coupons & Deals"));
        EXPECT_EQ(FirstColumn(*window).size(), 4);
        EXPECT_TRUE(Field(*window)->text().isEmpty());
    }
    // Escape in the empty field goes back to the list.
    QTest::keyClick(Field(*window), Qt::Key_Escape);
    EXPECT_TRUE(ItemList(*window)->hasFocus());
}

// The field shows the view's search, whoever set it, and is off where Find is.
TEST_F(MainWindowListsTest, TheSearchFieldFollowsTheViewsSearch)
{
    AddDeal(1, "Coffee beans");
    auto window = StartShown();
    ASSERT_NE(Field(*window), nullptr);
    window->SetSearchPrompt([](const QString&) { return std::optional<QString>(QStringLiteral("coffee")); });
    Command(*window, "actionFind")->trigger();
    WaitForView(*window);
    EXPECT_EQ(Field(*window)->text(), QStringLiteral("coffee"));

    window->ShowFolder(FolderKind::ForumTopics);
    EXPECT_TRUE(Field(*window)->text().isEmpty());
    EXPECT_TRUE(Field(*window)->isEnabled());
    window->ShowFolder(FolderKind::PriceComparisons);
    EXPECT_FALSE(Field(*window)->isEnabled());
    // Ctrl+F finds no way into a field that is off.
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(Field(*window)->hasFocus());
}

struct RowMenuCase
{
    FolderKind folder;
    QString title;
    // Empty: Copy Link is off.
    std::string link;
};

// A right click chooses the row and offers its commands; Copy Title and Copy Link fill the clipboard.
TEST_F(MainWindowListsTest, TheRowMenuOffersTheRowsCommandsAndCopiesItsTitleAndLink)
{
    AddDeal(5, "Electric kettle");
    AddItem("topic.lst", 6, 3, "Best coffee grinder?", kTen - 60);
    {
        ShoppingDatabase shopping;
        shopping.Open();
        ShoppingValues values;
        values.name = "Milk";
        values.startDate = kTen - 3600;
        ASSERT_TRUE(shopping.AddRecord(ShoppingDatabase::kProducts, values));
    }
    auto window = StartShown();
    const std::vector<RowMenuCase> cases{
        {FolderKind::CouponsAndDeals, QStringLiteral("Electric kettle"), RedirectPageUrl(Site(), 2, 5)},
        {FolderKind::ForumTopics, QStringLiteral("Best coffee grinder?"), MessagesPageUrl(Site(), 3, 6)},
        {FolderKind::ShoppingList, QStringLiteral("Milk"), ""},
    };
    for (const RowMenuCase& each : cases) {
        SCOPED_TRACE(FolderName(each.folder).toStdString());
        window->ShowFolder(each.folder);
        WaitForView(*window);
        const std::int32_t id = ListModel(*window)->key(0).id;
        QMenu* menu = RightClick(*window, id);
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(Entries(*menu),
                  (QStringList{QStringLiteral("actionOpen"),
                               QStringLiteral("actionDetails"),
                               QStringLiteral("actionDelete"),
                               QStringLiteral("-"),
                               QStringLiteral("actionCopyTitle"),
                               QStringLiteral("actionCopyLink"),
                               QStringLiteral("-"),
                               QStringLiteral("muteStore"),
                               QStringLiteral("muteCategory")}));
        EXPECT_EQ(ChosenId(*window), id);
        EXPECT_TRUE(Command(*window, "actionDelete")->isEnabled());
        menu->close();

        QApplication::clipboard()->clear();
        Command(*window, "actionCopyTitle")->trigger();
        EXPECT_EQ(QApplication::clipboard()->text(), each.title);
        QAction* copyLink = Command(*window, "actionCopyLink");
        EXPECT_EQ(copyLink->isEnabled(), !each.link.empty());
        if (!each.link.empty()) {
            copyLink->trigger();
            EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdString(each.link));
        }
    }
}

// The menu key opens the menu on the keyboard's row, wherever the pointer is, and chooses that row.
TEST_F(MainWindowListsTest, TheMenuKeyOpensTheRowMenuOnTheKeyboardsRow)
{
    AddDeal(1, "bread");
    AddDeal(2, "hammer");
    auto window = StartShown();
    QTreeView* list = ItemList(*window);
    list->setFocus();
    list->selectionModel()->setCurrentIndex(ListModel(*window)->index(RowOf(*window, 1), 0),
                                            QItemSelectionModel::NoUpdate);
    ASSERT_EQ(ChosenId(*window), 0);
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(0, 0), list->mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(list, &event);
    auto* menu = Named<QMenu>(*window, "rowMenu");
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }));
    EXPECT_EQ(ChosenId(*window), 1);
    EXPECT_TRUE(menu->geometry().intersects(
        QRect(list->viewport()->mapToGlobal(list->visualRect(list->currentIndex()).topLeft()),
              list->visualRect(list->currentIndex()).size())));
    menu->close();
}

// The tree's menu acts on the entry under the pointer.
TEST_F(MainWindowListsTest, TheTreeMenuChoosesItsEntryAndCopiesItsName)
{
    AddDeal(1, "bread");
    AddDeal(2, "hammer", 8, "Big Mart", 4, "Tools");
    auto window = StartShown();
    ViewTree* tree = Pane(*window)->tree();
    QTreeWidgetItem* bigMart = tree->topLevelItem(0)->child(1);
    ASSERT_EQ(bigMart->text(0), QStringLiteral("Big Mart"));
    const QPoint pos = tree->visualItemRect(bigMart).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, tree->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(tree->viewport(), &event);
    auto* menu = Named<QMenu>(*window, "treeMenu");
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }));
    EXPECT_EQ(Entries(*menu),
              (QStringList{
                  QStringLiteral("actionRefresh"), QStringLiteral("-"), QStringLiteral("actionCopyName")}));
    menu->close();
    WaitForView(*window);
    EXPECT_EQ(window->viewFilter().storeId, 8);
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("hammer")});
    Command(*window, "actionCopyName")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Big Mart"));
}

struct Removal
{
    const char* name;
    // The store chosen in the tree first; 0 for none.
    std::int32_t chosenStore;
    std::vector<std::int32_t> deleted;
    QStringList tree;
    int rowsLeft;
};

// An entry whose last row is deleted leaves the tree; the store chosen going shows all stores.
TEST_F(MainWindowListsTest, TheTreeDropsEntriesLeftWithoutRows)
{
    const std::vector<Removal> removals{
        {"the only item of a category",
         0,
         {1},
         {QStringLiteral("All Stores"),
          QStringLiteral("  Corner Shop"),
          QStringLiteral("  Big Mart"),
          QStringLiteral("All Categories"),
          QStringLiteral("  Tools")},
         2},
        {"the last item of the store chosen",
         8,
         {2},
         {QStringLiteral("All Stores"),
          QStringLiteral("  Corner Shop"),
          QStringLiteral("All Categories"),
          QStringLiteral("  Food"),
          QStringLiteral("  Tools")},
         2},
        {"every item", 0, {1, 2, 3}, {QStringLiteral("No Items Found")}, 0},
    };
    for (const Removal& removal : removals) {
        SCOPED_TRACE(removal.name);
        std::filesystem::remove("deal.lst");
        AddDeal(1, "bread");
        AddDeal(2, "hammer", 8, "Big Mart", 4, "Tools");
        AddDeal(3, "saw", 7, "Corner Shop", 4, "Tools");
        auto window = StartShown();
        ViewTree* tree = Pane(*window)->tree();
        if (removal.chosenStore != 0) {
            tree->setCurrentItem(tree->topLevelItem(0)->child(1));
            WaitForView(*window);
            ASSERT_EQ(window->viewFilter().storeId, removal.chosenStore);
        }
        for (std::int32_t id : removal.deleted) {
            Choose(*window, id);
            Command(*window, "actionDelete")->trigger();
            WaitForView(*window);
        }
        EXPECT_EQ(TreeTexts(*tree), removal.tree);
        EXPECT_EQ(window->viewFilter().storeId, 0);
        EXPECT_EQ(ListModel(*window)->rowCount(), removal.rowsLeft);
    }
}

// After a comparison run the comparison it saved is the one chosen in the tree.
TEST_F(MainWindowListsTest, AComparisonRunChoosesTheSavedComparisonInTheTree)
{
    std::int32_t saved = 0;
    for (const char* name : {"kettle", "toaster"}) {
        ResultList results;
        PriceResult offer;
        offer.name = std::string(name) + " offer";
        offer.price = 20;
        results.Insert(offer);
        saved = SearchIndex().SaveSearch(1, name, results);
    }
    auto window = StartShown();
    window->SetPriceComparisonRunner([&](QWidget*, const QString&) { return saved; });
    QSignalSpy loads(window.get(), &MainWindow::viewLoaded);
    Command(*window, "actionComparePrices")->trigger();
    WaitForView(*window);
    QApplication::processEvents();
    // Marking the choice loads nothing again.
    EXPECT_EQ(loads.count(), 1);

    ASSERT_EQ(window->folder(), FolderKind::PriceComparisons);
    const QTreeWidgetItem* current = Pane(*window)->tree()->currentItem();
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->text(0), QStringLiteral("toaster"));
    EXPECT_TRUE(current->isSelected());
    EXPECT_EQ(View(*window)->caption(), QStringLiteral("Price Comparisons: toaster"));
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("toaster offer")});
}

} // namespace
} // namespace tallyhawk
