#include "core/compare/result_list.h"
#include "core/store/item_store.h"
#include "gui/app/folder_pane.h"
#include "gui/app/main_window.h"
#include "gui/app/main_window_fixture.h"
#include "gui/app/row_card_delegate.h"
#include "gui/views/item_list_model.h"
#include "gui/views/list_rows.h"

#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>

#include <gtest/gtest.h>

#include <variant>
#include <vector>

namespace tallyhawk
{
namespace
{

std::int32_t IdAt(const ItemListModel& model, int row)
{
    const RowRecord record = model.record(row);
    const auto* item = std::get_if<const ItemRecord*>(&record);
    return item != nullptr ? (*item)->id : -1;
}

std::vector<std::int32_t> Ids(const ItemListModel& model)
{
    std::vector<std::int32_t> ids;
    for (int row = 0; row < model.rowCount(); ++row) {
        ids.push_back(IdAt(model, row));
    }
    return ids;
}

class ItemListModelTest : public MainWindowFixture
{ };

TEST_F(ItemListModelTest, RowsKeepTheirRecordsWhileTheStoreDeletesAndReloads)
{
    for (int id = 1; id <= 5; ++id) {
        AddItem("deal.lst", id, 2, "deal", kTen - 100 + id);
    }
    ItemStore store;
    store.Open("deal.lst");
    ASSERT_EQ(store.Load(), kOk);
    ItemListModel model;
    model.Reset(ListRows::FromItems(store.Items()));
    ASSERT_EQ(Ids(model), (std::vector<std::int32_t>{5, 4, 3, 2, 1}));

    // The middle row goes from the list and from the store's view; the rows after it move up whole.
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    const RowKey middle = model.key(2);
    EXPECT_EQ(middle.id, 3);
    model.RemoveRow(2);
    ASSERT_EQ(store.Delete(middle.id, middle.kind), 3);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(Ids(model), (std::vector<std::int32_t>{5, 4, 2, 1}));
    EXPECT_EQ(model.key(2).id, 2);
    EXPECT_EQ(model.index(3, 0).data().toString(), QStringLiteral("deal"));

    // Marking read changes the row's own record, and only that one.
    model.MarkRead(2);
    EXPECT_FALSE(model.key(2).unread);
    EXPECT_TRUE(model.key(1).unread);
    EXPECT_TRUE(model.key(3).unread);

    // A reload of the store (a refresh of another view, a merge) leaves the rows as they were.
    ItemFilter none;
    none.from = kTen - 2;
    ASSERT_EQ(store.Load(none), kOk);
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_EQ(Ids(model), (std::vector<std::int32_t>{5, 4, 2, 1}));

    // Out of range asks for nothing.
    EXPECT_TRUE(std::holds_alternative<std::monostate>(model.record(4)));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(model.record(-1)));
    EXPECT_EQ(model.key(9).id, 0);
    model.RemoveRow(4);
    model.RemoveRow(-1);
    model.MarkRead(7);
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_FALSE(model.index(4, 0).isValid());
    EXPECT_FALSE(model.index(0, 2).isValid());
}

TEST_F(ItemListModelTest, OffersGoFromTheLowestPriceAndKeepTheirOwnCopy)
{
    ResultList offers;
    for (auto [id, price] : {std::pair{1, 30.0}, std::pair{2, 12.5}, std::pair{3, 20.0}}) {
        PriceResult offer;
        offer.id = id;
        offer.name = "offer";
        offer.price = price;
        offers.Insert(offer);
    }
    ItemListModel model;
    model.Reset(ListRows::FromOffers(offers));
    offers.Clear();
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.key(0).id, 2);
    EXPECT_EQ(model.key(1).id, 3);
    EXPECT_EQ(model.key(2).id, 1);
    model.RemoveRow(0);
    const RowRecord record = model.record(0);
    ASSERT_TRUE(std::holds_alternative<const PriceResult*>(record));
    EXPECT_EQ(std::get<const PriceResult*>(record)->price, 20.0);
}

TEST_F(ItemListModelTest, TheListAlwaysHasBothColumnsSoTheirWidthsSurviveARefresh)
{
    ItemListModel model;
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QString());

    AddItem("deal.lst", 1, 2, "first", kTen - 60);
    auto window = StartHidden();
    QHeaderView* header = ItemList(*window)->header();
    EXPECT_EQ(header->sectionSize(0), RowCardDelegate::kCardColumnWidth);
    EXPECT_NE(dynamic_cast<RowCardDelegate*>(ItemList(*window)->itemDelegate()), nullptr);
    header->resizeSection(0, 300);
    window->RefreshView(true);
    WaitForView(*window);
    Pane(*window)->button(FolderKind::TodaysSummary)->click();
    WaitForView(*window);
    Pane(*window)->button(FolderKind::CouponsAndDeals)->click();
    WaitForView(*window);
    EXPECT_EQ(header->sectionSize(0), 300);
    EXPECT_EQ(ListModel(*window)->columnCount(), 2);
}

TEST_F(ItemListModelTest, DeletingAMiddleRowInTheWindowLeavesTheNextRowsOnTheirOwnRecords)
{
    for (int id = 1; id <= 4; ++id) {
        AddItem("deal.lst",
                id,
                2,
                id == 1       ? "one"
                    : id == 2 ? "two"
                    : id == 3 ? "three"
                              : "four",
                kTen - 100 + id);
    }
    auto window = StartHidden();
    ItemListModel* model = ListModel(*window);
    ASSERT_EQ(Ids(*model), (std::vector<std::int32_t>{4, 3, 2, 1}));
    ItemList(*window)->setCurrentIndex(model->index(1, 0));
    WaitForView(*window);
    window->DeleteSelected();
    WaitForView(*window);
    EXPECT_EQ(Ids(*model), (std::vector<std::int32_t>{4, 2, 1}));
    EXPECT_EQ(FirstColumn(*window),
              (QStringList{QStringLiteral("four"), QStringLiteral("two"), QStringLiteral("one")}));

    // Choosing the row that moved up marks its own record read, in the list and in the file.
    ItemList(*window)->setCurrentIndex(model->index(1, 0));
    WaitForView(*window);
    EXPECT_FALSE(model->key(1).unread);
    EXPECT_TRUE(model->key(0).unread);
    EXPECT_TRUE(model->key(2).unread);
    ItemStore check;
    check.Open("deal.lst");
    ASSERT_EQ(check.Load(), kOk);
    ASSERT_EQ(check.Count(), 3u);
    EXPECT_EQ(check.At(1)->id, 2);
    EXPECT_EQ(check.At(1)->read, 1);
    EXPECT_EQ(check.At(0)->read, 0);
    EXPECT_EQ(check.At(2)->read, 0);

    // Deleting the last row, then the first, leaves the one between.
    ItemList(*window)->setCurrentIndex(model->index(2, 0));
    WaitForView(*window);
    window->DeleteSelected();
    WaitForView(*window);
    ItemList(*window)->setCurrentIndex(model->index(0, 0));
    WaitForView(*window);
    window->DeleteSelected();
    WaitForView(*window);
    EXPECT_EQ(Ids(*model), (std::vector<std::int32_t>{2}));
    window->RefreshView(true);
    WaitForView(*window);
    EXPECT_EQ(Ids(*model), (std::vector<std::int32_t>{2}));
}

} // namespace
} // namespace tallyhawk
