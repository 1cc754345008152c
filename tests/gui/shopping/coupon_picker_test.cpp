#include "gui/shopping/coupon_picker.h"
#include "gui/shopping/gradient_caption.h"
#include "gui/views/row_card_text.h"
#include "shopping_dialog_fixture.h"

#include <QPushButton>
#include <QTest>

namespace tallyhawk
{
namespace
{

constexpr std::int32_t kDay = 86400;

class CouponPickerTest : public ShoppingDialogFixture
{
protected:
    // Coupons and deals of two stores and one without a store, and one too old to be listed.
    void AddItems()
    {
        AddItem(1, 1, "Milk 2 for 1", kTen - 40 * kDay, 7, "Corner Shop");
        AddItem(2, 1, "Milk coupon", kTen - 2 * kDay, 7, "Corner Shop");
        AddItem(3, 2, "Milk deal", kTen - kDay, 8, "Mega Mart");
        AddItem(4, 2, "Milk anywhere", kTen - kDay, 0, "");
        AddItem(5, 2, "Bread deal", kTen - 3 * kDay, 8, "Mega Mart");
        AddItem(6, 1, "Shop-wide coupon", kTen - 3 * kDay, 7, "Corner Shop");
    }

    static QStringList TreeTexts(const QTreeWidget& tree)
    {
        QStringList texts;
        for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&tree)); *it != nullptr; ++it) {
            texts << (*it)->text(0);
        }
        return texts;
    }
};

TEST_F(CouponPickerTest, CouponModeListsTheProductsRecentItemsWithTheirStores)
{
    AddItems();
    CouponPicker picker(CouponPicker::Mode::Coupons, QStringLiteral("milk"), 0, 0);

    EXPECT_EQ(picker.windowTitle(), QStringLiteral("Coupons and Deals"));
    EXPECT_EQ(picker.selectButton()->text(), QStringLiteral("Select Coupon"));
    EXPECT_FALSE(picker.detailsButton()->isHidden());
    EXPECT_FALSE(picker.searchButton()->isHidden());
    EXPECT_EQ(picker.rightHeader()->text(), QStringLiteral("Coupons and deals for milk"));
    EXPECT_EQ(picker.leftHeader()->text(), QStringLiteral("All Stores"));
    // The last stored first; the item of 40 days ago is left out.
    EXPECT_EQ(Texts(*picker.list()),
              (QStringList{QStringLiteral("Milk anywhere"),
                           QStringLiteral("Milk deal"),
                           QStringLiteral("Milk coupon")}));
    EXPECT_EQ(TreeTexts(*picker.storeTree()),
              (QStringList{
                  QStringLiteral("All Stores"), QStringLiteral("Corner Shop"), QStringLiteral("Mega Mart")}));
    EXPECT_FALSE(picker.selectButton()->isEnabled());
    EXPECT_FALSE(picker.openButton()->isEnabled());

    // Choosing a store lists its items only, without the storeless one; the root lists all again.
    QTreeWidgetItem* mega = picker.storeTree()->topLevelItem(0)->child(1);
    picker.storeTree()->setCurrentItem(mega);
    EXPECT_EQ(picker.currentStoreId(), 8);
    EXPECT_EQ(picker.leftHeader()->text(), QStringLiteral("Mega Mart"));
    EXPECT_EQ(Texts(*picker.list()), QStringList{QStringLiteral("Milk deal")});
    picker.storeTree()->setCurrentItem(picker.storeTree()->topLevelItem(0));
    EXPECT_EQ(Texts(*picker.list()).size(), 3);
}

TEST_F(CouponPickerTest, AProductsStoreIsShownFirstWithItsCouponsEvenWhenTheirTextsMissTheWords)
{
    AddItems();
    CouponPicker picker(CouponPicker::Mode::Coupons, QStringLiteral("milk"), 7, 0);

    EXPECT_EQ(picker.leftHeader()->text(), QStringLiteral("Corner Shop"));
    ASSERT_NE(picker.storeTree()->currentItem(), nullptr);
    EXPECT_EQ(picker.storeTree()->currentItem()->text(0), QStringLiteral("Corner Shop"));
    EXPECT_EQ(Texts(*picker.list()),
              (QStringList{QStringLiteral("Shop-wide coupon"), QStringLiteral("Milk coupon")}));
}

TEST_F(CouponPickerTest, SearchingAnotherTextAndAnEmptyOne)
{
    AddItems();
    CouponPicker picker(CouponPicker::Mode::Coupons, QStringLiteral("milk"), 0, 0);
    QStringList asked;
    picker.SetSearchPrompt([&](const QString& initial) -> std::optional<QString> {
        asked << initial;
        return QStringLiteral("bread");
    });
    picker.searchButton()->click();
    EXPECT_EQ(asked, QStringList{QStringLiteral("milk")});
    EXPECT_EQ(picker.rightHeader()->text(), QStringLiteral("Coupons and deals for bread"));
    EXPECT_EQ(Texts(*picker.list()), QStringList{QStringLiteral("Bread deal")});

    picker.SetSearchPrompt([](const QString&) { return std::optional<QString>(); });
    picker.searchButton()->click();
    EXPECT_EQ(picker.searchText(), QStringLiteral("bread")) << "Cancel keeps the search";

    picker.ApplySearchText(QString());
    EXPECT_EQ(picker.rightHeader()->text(), QStringLiteral("All coupons and deals"));
    EXPECT_EQ(Texts(*picker.list()).size(), 5);
}

TEST_F(CouponPickerTest, SelectNeedsARowAndHandsBackACopyOfIt)
{
    AddItems();
    CouponPicker picker(CouponPicker::Mode::Coupons, QStringLiteral("milk"), 0, 0);
    picker.SetBrowser(&browser_);
    picker.SetSiteBaseUrl("http://127.0.0.1:9");
    picker.show();

    picker.Select();
    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_EQ(boxes_.shown()[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(boxes_.lastText().startsWith(QStringLiteral("You must first select the coupon or deal")));
    EXPECT_TRUE(picker.isVisible());

    picker.list()->setCurrentItem(Row(*picker.list(), QStringLiteral("Milk coupon")));
    EXPECT_TRUE(picker.selectButton()->isEnabled());
    EXPECT_TRUE(picker.detailsButton()->isEnabled());
    picker.openButton()->click();
    picker.detailsButton()->click();
    ASSERT_EQ(started_.size(), 2u);
    EXPECT_EQ(started_[0].back(), "http://127.0.0.1:9/redir.aspx?srcType=1&srcId=2");
    EXPECT_EQ(started_[1].back(), "http://127.0.0.1:9/coupon.aspx?srcId=2");

    picker.selectButton()->click();
    EXPECT_EQ(picker.result(), QDialog::Accepted);
    EXPECT_EQ(picker.ChosenItem().id, 2);
    EXPECT_EQ(picker.ChosenItem().title(), "Milk coupon");
    EXPECT_EQ(picker.ChosenResult().id, 0);
}

TEST_F(CouponPickerTest, EnterSelectsAndEscapeCloses)
{
    AddItems();
    CouponPicker picker(CouponPicker::Mode::Coupons, QStringLiteral("milk"), 0, 0);
    picker.show();
    picker.list()->setCurrentItem(Row(*picker.list(), QStringLiteral("Milk deal")));
    QTest::keyClick(picker.list(), Qt::Key_Return);
    EXPECT_EQ(picker.result(), QDialog::Accepted);
    EXPECT_EQ(picker.ChosenItem().id, 3);

    CouponPicker closed(CouponPicker::Mode::Coupons, QStringLiteral("milk"), 0, 0);
    closed.show();
    closed.list()->setCurrentItem(closed.list()->topLevelItem(0));
    QTest::keyClick(closed.list(), Qt::Key_Escape);
    EXPECT_EQ(closed.result(), QDialog::Rejected);
    EXPECT_EQ(closed.ChosenItem().id, 0);
}

TEST_F(CouponPickerTest, ClosingChoosesNothing)
{
    AddItems();
    CouponPicker picker(CouponPicker::Mode::Coupons, QStringLiteral("milk"), 0, 0);
    picker.show();
    picker.list()->setCurrentItem(picker.list()->topLevelItem(0));
    picker.close();
    EXPECT_EQ(picker.result(), QDialog::Rejected);
    EXPECT_EQ(picker.ChosenItem().id, 0);
}

TEST_F(CouponPickerTest, NoFileMeansNoStoresFound)
{
    CouponPicker picker(CouponPicker::Mode::Coupons, QStringLiteral("milk"), 0, 0);
    EXPECT_EQ(Texts(*picker.list()), QStringList());
    EXPECT_EQ(TreeTexts(*picker.storeTree()), QStringList{QStringLiteral("No Stores Found")});
    picker.storeTree()->setCurrentItem(picker.storeTree()->topLevelItem(0));
    EXPECT_EQ(picker.currentStoreId(), 0);
}

TEST_F(CouponPickerTest, ResultsModeListsTheComparisonCheapestFirst)
{
    const std::int32_t id = SaveComparison("milk", {{"Dear", 9.5}, {"Cheap", 1.25}, {"Middle", 4.0}});
    ASSERT_GE(id, 2);
    CouponPicker picker(CouponPicker::Mode::PriceResults, QStringLiteral("milk"), 0, id);
    picker.SetBrowser(&browser_);
    picker.show();

    EXPECT_EQ(picker.windowTitle(), QStringLiteral("Price Comparison Results"));
    EXPECT_EQ(picker.selectButton()->text(), QStringLiteral("Select Product"));
    EXPECT_TRUE(picker.detailsButton()->isHidden());
    EXPECT_TRUE(picker.searchButton()->isHidden());
    EXPECT_EQ(picker.leftHeader()->text(), QStringLiteral("milk"));
    EXPECT_EQ(picker.rightHeader()->text(), QStringLiteral("Price Comparison Results for milk"));
    EXPECT_EQ(TreeTexts(*picker.storeTree()), QStringList{QStringLiteral("milk")});
    EXPECT_EQ(Texts(*picker.list()),
              (QStringList{QStringLiteral("Cheap"), QStringLiteral("Middle"), QStringLiteral("Dear")}));

    picker.list()->setCurrentItem(picker.list()->topLevelItem(0));
    EXPECT_FALSE(picker.detailsButton()->isEnabled());
    picker.openButton()->click();
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0].back(), "https://shop.example/2");
    picker.selectButton()->click();
    EXPECT_EQ(picker.result(), QDialog::Accepted);
    EXPECT_EQ(picker.ChosenResult().id, 2);
    EXPECT_EQ(picker.ChosenResult().siteName, "Cheap Store");
    EXPECT_DOUBLE_EQ(picker.ChosenResult().price, 1.25);
    EXPECT_EQ(picker.ChosenItem().id, 0);
}

TEST_F(CouponPickerTest, EachModesColumnsTellItsRowsApart)
{
    // Two coupons of one title differ by code, store and expiry; offers by price, shop and link.
    AddItem(1, 1, "Coffee beans", kTen - kDay, 7, "Corner Shop", "BEANS10", kTen + 3 * kDay);
    AddItem(2, 2, "Coffee beans", kTen - kDay, 8, "Mega Mart", "$8.99", 0);
    const std::int32_t id = SaveComparison("coffee", {{"Beans", 9.5}, {"Free beans", 0.0}});
    const struct
    {
        CouponPicker::Mode mode;
        QStringList header;
        QList<QStringList> rows;
    } cases[] = {
        {CouponPicker::Mode::Coupons,
         {QStringLiteral("Coupons & Deals"),
          QStringLiteral("Code or Price"),
          QStringLiteral("Store"),
          QStringLiteral("Expires")},
         {{QStringLiteral("Coffee beans"),
           QStringLiteral("$8.99"),
           QStringLiteral("Mega Mart"),
           QStringLiteral("unknown")},
          {QStringLiteral("Coffee beans"),
           QStringLiteral("BEANS10"),
           QStringLiteral("Corner Shop"),
           CardDate(kTen + 3 * kDay)}}},
        {CouponPicker::Mode::PriceResults,
         {QStringLiteral("Product"), QStringLiteral("Price"), QStringLiteral("Shop"), QStringLiteral("Link")},
         {{QStringLiteral("Free beans"),
           QString(),
           QStringLiteral("Free beans Store"),
           QStringLiteral("https://shop.example/2")},
          {QStringLiteral("Beans"),
           QStringLiteral("$9.50"),
           QStringLiteral("Beans Store"),
           QStringLiteral("https://shop.example/1")}}},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(static_cast<int>(expected.mode));
        CouponPicker picker(expected.mode, QStringLiteral("coffee"), 0, id);
        QStringList header;
        for (int column = 0; column < picker.list()->columnCount(); ++column) {
            header << picker.list()->headerItem()->text(column);
        }
        EXPECT_EQ(header, expected.header);
        QList<QStringList> rows;
        for (int row = 0; row < picker.list()->topLevelItemCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < picker.list()->columnCount(); ++column) {
                cells << picker.list()->topLevelItem(row)->text(column);
            }
            rows << cells;
        }
        EXPECT_EQ(rows, expected.rows);
    }
}

TEST_F(CouponPickerTest, ResultsModeRefusesALinkThatIsNoWebAddress)
{
    ResultList results;
    PriceResult offer;
    offer.id = 1;
    offer.name = "Odd";
    offer.link = "-x file:///etc/passwd";
    results.Insert(offer);
    const std::int32_t id = SearchIndex().SaveSearch(0, "odd", results);
    CouponPicker picker(CouponPicker::Mode::PriceResults, QStringLiteral("odd"), 0, id);
    picker.SetBrowser(&browser_);
    picker.list()->setCurrentItem(picker.list()->topLevelItem(0));
    picker.OpenSelected();
    EXPECT_TRUE(started_.empty());
}

TEST_F(CouponPickerTest, AMissingComparisonListsNothing)
{
    CouponPicker picker(CouponPicker::Mode::PriceResults, QStringLiteral("milk"), 0, 42);
    EXPECT_EQ(picker.list()->topLevelItemCount(), 0);
    picker.Select();
    EXPECT_TRUE(boxes_.lastText().startsWith(QStringLiteral("You must first select the coupon or deal")));
}

TEST_F(CouponPickerTest, KeepsItsSizeInTheLayoutFile)
{
    {
        CouponPicker picker(CouponPicker::Mode::Coupons, QStringLiteral("milk"), 0, 0);
        picker.show();
        picker.resize(911, 533);
        picker.reject();
    }
    QSettings layout(QString::fromStdString(dir_.File("config/Quillmarch/tallyhawk-layout.ini")),
                     QSettings::IniFormat);
    EXPECT_EQ(layout.value(QStringLiteral("CouponPicker/Width")).toInt(), 911);
    EXPECT_EQ(layout.value(QStringLiteral("CouponPicker/Height")).toInt(), 533);

    CouponPicker again(CouponPicker::Mode::PriceResults, QStringLiteral("milk"), 0, 0);
    EXPECT_EQ(again.size(), QSize(911, 533));
}

} // namespace
} // namespace tallyhawk
