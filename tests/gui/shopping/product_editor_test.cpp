#include "core/shopping/shopping_database.h"
#include "gui/shopping/coupon_picker.h"
#include "gui/shopping/product_editor.h"
#include "shopping_dialog_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace tallyhawk
{
namespace
{

// 2026-01-31 10:00:00 UTC: the last day of a 31-day month.
const std::int32_t kJan31 = *LocalTime(2026, 1, 31, 10, 0, 0);

class ProductEditorTest : public ShoppingDialogFixture
{
protected:
    ProductEditorTest() { database_.Open(); }

    std::unique_ptr<ProductEditor> NewEditor(std::int32_t kind = ShoppingDatabase::kProducts,
                                             std::optional<ShoppingRecord> record = std::nullopt,
                                             ProductEditor::ComparePrices compare = {})
    {
        ProductEditor::Services services;
        services.siteBaseUrl = "http://127.0.0.1:9";
        services.browser = &browser_;
        services.comparePrices = std::move(compare);
        auto editor = std::make_unique<ProductEditor>(database_, kind, std::move(record), services);
        editor->open();
        return editor;
    }

    static void Choose(QComboBox* box, const QString& text)
    {
        const int index = box->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        box->setCurrentIndex(index);
    }

    // A valid new product: every check passes.
    static void FillValid(ProductEditor& editor)
    {
        editor.nameEdit()->setText(QStringLiteral("Milk"));
        Choose(editor.purchaseTypeBox(), QStringLiteral("One Time"));
    }

    bool FileExists(const char* name) const { return std::filesystem::exists(dir_.path() / name); }

    std::vector<ShoppingRecord> StoredProducts()
    {
        ShoppingDatabase fresh;
        fresh.Open();
        ItemFilter everything;
        everything.to = std::numeric_limits<std::int32_t>::max();
        EXPECT_EQ(fresh.LoadView(ShoppingDatabase::kProducts, everything), kOk);
        return fresh.ViewRecords();
    }

    // Runs pickers by driving them: the row with `rowText` is selected (the first row for an empty text).
    ProductEditor::PickerRun Picking(QString rowText, QStringList* rowsSeen = nullptr)
    {
        return [rowText, rowsSeen](CouponPicker& picker) {
            picker.open();
            if (rowsSeen != nullptr) {
                *rowsSeen = Texts(*picker.list());
            }
            QTreeWidgetItem* row
                = rowText.isEmpty() ? picker.list()->topLevelItem(0) : Row(*picker.list(), rowText);
            if (row == nullptr) {
                picker.reject();
                return CouponPicker::kClosed;
            }
            picker.list()->setCurrentItem(row);
            picker.selectButton()->click();
            return picker.result() == QDialog::Accepted ? CouponPicker::kSelected : CouponPicker::kClosed;
        };
    }

    ShoppingDatabase database_;
};

TEST_F(ProductEditorTest, ANewProductStartsWithTheDefaults)
{
    auto editor = NewEditor();
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Product"));
    EXPECT_EQ(editor->priceEdit()->text(), QStringLiteral("0.00"));
    EXPECT_EQ(editor->taxEdit()->text(), QStringLiteral("0.00"));
    EXPECT_EQ(editor->quantityEdit()->text(), QStringLiteral("1.00"));
    EXPECT_EQ(editor->unitBox()->currentText(), QStringLiteral("unit"));
    EXPECT_EQ(editor->purchaseTypeBox()->count(), 13);
    EXPECT_EQ(editor->purchaseTypeBox()->currentText(), QStringLiteral("One Time"));
    EXPECT_FALSE(editor->dateEdit()->isHidden());
    EXPECT_FALSE(editor->openButton()->isEnabled());
    EXPECT_FALSE(editor->viewButton()->isEnabled());
    EXPECT_FALSE(editor->removeButton()->isEnabled());
    EXPECT_FALSE(editor->comparePricesButton()->isEnabled()) << "no comparison to run";
    EXPECT_TRUE(editor->okButton()->isDefault());
    EXPECT_EQ(QApplication::focusWidget() == nullptr || QApplication::focusWidget() == editor->nameEdit(),
              true);
}

TEST_F(ProductEditorTest, ANewMonthlyProductOnThe31stIsSavedWithTheDueDateOfTheList)
{
    clock_.Set(kJan31);
    auto editor = NewEditor();
    editor->nameEdit()->setText(QStringLiteral("Rent"));
    Choose(editor->purchaseTypeBox(), QStringLiteral("Every Month"));
    EXPECT_EQ(editor->dayCaption()->text(), QStringLiteral("Day of Month:"));
    EXPECT_EQ(editor->dayBox()->count(), 31);
    Choose(editor->dayBox(), QStringLiteral("30"));
    editor->storeBox()->setEditText(QStringLiteral("Corner Shop"));
    editor->priceEdit()->setText(QStringLiteral(" 12.5 "));
    editor->quantityEdit()->clear();
    editor->taxEdit()->setText(QStringLiteral("  "));
    editor->descriptionEdit()->setPlainText(QStringLiteral("Flat"));
    editor->okButton()->click();

    EXPECT_TRUE(boxes_.shown().empty()) << boxes_.lastText().toStdString();
    EXPECT_EQ(editor->result(), QDialog::Accepted);
    ASSERT_TRUE(editor->savedRecord());

    // product.dat: 80001, last id, one entry, 80003.
    EXPECT_EQ(test::ReadFileBytes(dir_.File("product.dat")).size(), 12u + 4u + ShoppingRecord::kSize);
    const std::vector<ShoppingRecord> stored = StoredProducts();
    ASSERT_EQ(stored.size(), 1u);
    const ShoppingRecord& rent = stored[0];
    EXPECT_EQ(rent.name(), "Rent");
    EXPECT_EQ(rent.notes(), "Flat");
    EXPECT_EQ(rent.purchaseType, 4);
    EXPECT_EQ(rent.interval, 1);
    EXPECT_EQ(rent.dayValue, 30);
    EXPECT_EQ(rent.startDate, *LocalTime(2026, 1, 31, 1, 0, 0));
    // Day 30 lies before the 31st: the first due date is the last day of February.
    EXPECT_EQ(rent.nextDue, *LocalTime(2026, 2, 28, 1, 0, 0));
    EXPECT_EQ(editor->savedRecord()->nextDue, rent.nextDue);
    EXPECT_DOUBLE_EQ(rent.pricePerUnit, 12.5);
    EXPECT_DOUBLE_EQ(rent.quantity, 0);
    EXPECT_DOUBLE_EQ(rent.taxPercent, 0);
    // The typed store and the placeholder unit became the lists' first user entries.
    EXPECT_EQ(rent.storeId, 5000);
    EXPECT_EQ(rent.unitId, 5000);
    EXPECT_EQ(rent.categoryId, 0);
    ShoppingDatabase lists;
    lists.Open();
    ASSERT_NE(lists.Stores().Find(5000), nullptr);
    EXPECT_EQ(lists.Stores().Find(5000)->name, "Corner Shop");
    EXPECT_EQ(lists.Units().Find(5000)->name, "unit");
    EXPECT_FALSE(FileExists("category.lst"));
}

// Add to Shopping List: the deal's title, store and price fill the new product, and the deal becomes
// its coupon, which the save keeps.
TEST_F(ProductEditorTest, ANewProductFromADealCarriesItsNamePriceStoreAndCoupon)
{
    ItemValues deal;
    deal.id = 42;
    deal.kind = 2;
    deal.storeId = 0;
    deal.categoryId = 3;
    deal.title = "Half price kettles";
    deal.extra = "50% off, now $9.99";
    deal.storeName = "Corner Shop";
    auto editor = NewEditor();
    editor->FillFromDeal(ItemRecord::Make(deal, 0));
    EXPECT_EQ(editor->nameEdit()->text(), QStringLiteral("Half price kettles"));
    EXPECT_EQ(editor->storeBox()->currentText(), QStringLiteral("Corner Shop"));
    EXPECT_EQ(editor->priceEdit()->text(), QStringLiteral("9.99"));
    ASSERT_EQ(editor->couponList()->topLevelItemCount(), 1);
    EXPECT_EQ(editor->couponList()->topLevelItem(0)->text(0), QStringLiteral("Half price kettles"));

    Choose(editor->purchaseTypeBox(), QStringLiteral("One Time"));
    editor->okButton()->click();
    const std::vector<ShoppingRecord> stored = StoredProducts();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].name(), "Half price kettles");
    EXPECT_DOUBLE_EQ(stored[0].pricePerUnit, 9.99);
    std::optional<ShoppingRecord> whole = database_.Find(ShoppingDatabase::kProducts, stored[0].id);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->coupons[0].id, 42);
    EXPECT_EQ(whole->coupons[0].title(), "Half price kettles");
}

TEST_F(ProductEditorTest, AMonthlyProductOnThe31stIsDueTheSameDay)
{
    clock_.Set(kJan31);
    auto editor = NewEditor();
    editor->nameEdit()->setText(QStringLiteral("Rent"));
    Choose(editor->purchaseTypeBox(), QStringLiteral("Every 2 Months"));
    Choose(editor->dayBox(), QStringLiteral("31"));
    editor->okButton()->click();
    const std::vector<ShoppingRecord> stored = StoredProducts();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].interval, 2);
    EXPECT_EQ(stored[0].nextDue, *LocalTime(2026, 1, 31, 1, 0, 0));
}

TEST_F(ProductEditorTest, TheDayBoxNamesTheWeekdaysAndSundayIsStoredAsZero)
{
    // 2026-03-10 is a Tuesday; the next Sunday is the 15th.
    auto editor = NewEditor();
    editor->nameEdit()->setText(QStringLiteral("Paper"));
    Choose(editor->purchaseTypeBox(), QStringLiteral("Every Few Days"));
    Choose(editor->dayBox(), QStringLiteral("3"));
    Choose(editor->purchaseTypeBox(), QStringLiteral("Every Week"));
    EXPECT_EQ(editor->dayCaption()->text(), QStringLiteral("Day of Week:"));
    ASSERT_EQ(editor->dayBox()->count(), 7);
    EXPECT_EQ(editor->dayBox()->itemText(0), QStringLiteral("Monday"));
    EXPECT_EQ(editor->dayBox()->itemText(6), QStringLiteral("Sunday"));
    EXPECT_EQ(editor->dayBox()->currentIndex(), -1) << "a days interval is no weekday";
    Choose(editor->dayBox(), QStringLiteral("Sunday"));
    Choose(editor->purchaseTypeBox(), QStringLiteral("Every 2 Weeks"));
    EXPECT_EQ(editor->dayBox()->currentText(), QStringLiteral("Sunday")) << "still a weekday";
    editor->okButton()->click();

    const std::vector<ShoppingRecord> stored = StoredProducts();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].dayValue, 0);
    EXPECT_EQ(stored[0].interval, 2);
    EXPECT_EQ(stored[0].nextDue, *LocalTime(2026, 3, 15, 1, 0, 0));

    auto again = NewEditor(ShoppingDatabase::kProducts, stored[0]);
    EXPECT_EQ(again->purchaseTypeBox()->currentText(), QStringLiteral("Every 2 Weeks"));
    EXPECT_EQ(again->dayBox()->currentText(), QStringLiteral("Sunday"));
}

TEST_F(ProductEditorTest, AProductWithoutAScheduleGetsOneThatStartsToday)
{
    ShoppingValues values;
    values.name = "Batteries";
    values.dayValue = 0;
    std::optional<ShoppingRecord> product = database_.AddRecord(ShoppingDatabase::kProducts, values);
    ASSERT_TRUE(product);
    auto editor = NewEditor(ShoppingDatabase::kProducts, product);
    EXPECT_EQ(editor->purchaseTypeBox()->currentIndex(), -1);
    editor->okButton()->click();
    EXPECT_EQ(boxes_.lastText(), QStringLiteral("You must select a purchase type for this product."));

    Choose(editor->purchaseTypeBox(), QStringLiteral("Every Few Days"));
    Choose(editor->dayBox(), QStringLiteral("6"));
    editor->okButton()->click();
    ASSERT_TRUE(editor->savedRecord());
    EXPECT_EQ(editor->savedRecord()->startDate, *LocalTime(2026, 3, 10, 1, 0, 0));
    EXPECT_EQ(editor->savedRecord()->nextDue, *LocalTime(2026, 3, 10, 1, 0, 0));
}

TEST_F(ProductEditorTest, EachRefusedInputIsToldAndNothingIsSaved)
{
    struct Case
    {
        const char* message;
        std::function<void(ProductEditor&)> spoil;
    };
    const QString fiftyOne(51, QLatin1Char('x'));
    const std::vector<Case> cases{
        {"The product name can not be empty.",
         [](ProductEditor& e) {
             e.nameEdit()->clear();
         }},
        {"The product name has more than 50 characters.",
         [&](ProductEditor& e) {
             e.nameEdit()->setText(fiftyOne);
         }},
        {"The product name is too long to be kept whole: a product keeps 49 bytes of its name, and in "
         "UTF-8 an accented letter takes 2 bytes.",
         [&](ProductEditor& e) {
             // 25 characters, 50 bytes.
             e.nameEdit()->setText(QString(25, QChar(0xE9)));
         }},
        {"The price per unit must be a number from 0 to 1000000000.",
         [](ProductEditor& e) {
             e.priceEdit()->setText(QStringLiteral("12.5 a month"));
         }},
        {"The quantity must be a number from 0 to 1000000000.",
         [](ProductEditor& e) {
             e.quantityEdit()->setText(QStringLiteral("1000000001"));
         }},
        {"The tax must be a number from 0 to 1000000000.",
         [](ProductEditor& e) {
             e.taxEdit()->setText(QStringLiteral("-1"));
         }},
        {"The unit type has more than 50 characters.",
         [&](ProductEditor& e) {
             e.unitBox()->setEditText(fiftyOne);
         }},
        {"The store name has more than 50 characters.",
         [&](ProductEditor& e) {
             e.storeBox()->setEditText(fiftyOne);
         }},
        {"The category name has more than 50 characters.",
         [&](ProductEditor& e) {
             e.categoryBox()->setEditText(fiftyOne);
         }},
        {"You must select a purchase type for this product.",
         [](ProductEditor& e) {
             e.purchaseTypeBox()->setCurrentIndex(-1);
         }},
        {"You must select the days interval for this daily purchase.",
         [](ProductEditor& e) {
             Choose(e.purchaseTypeBox(), QStringLiteral("Every Few Days"));
         }},
        {"You must select the day of the week for this weekly purchase.",
         [](ProductEditor& e) {
             Choose(e.purchaseTypeBox(), QStringLiteral("Every 4 Weeks"));
         }},
        {"You must select the day of the month for this monthly purchase.",
         [](ProductEditor& e) {
             Choose(e.purchaseTypeBox(), QStringLiteral("Every 12 Months"));
         }},
    };
    for (const Case& refused : cases) {
        SCOPED_TRACE(refused.message);
        boxes_.Clear();
        auto editor = NewEditor();
        FillValid(*editor);
        refused.spoil(*editor);
        editor->okButton()->click();
        ASSERT_EQ(boxes_.shown().size(), 1u);
        EXPECT_EQ(boxes_.shown()[0].text, QString::fromUtf8(refused.message));
        EXPECT_EQ(boxes_.shown()[0].icon, QMessageBox::Warning);
        EXPECT_EQ(boxes_.shown()[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_TRUE(editor->isVisible()) << "the editor stays open";
        EXPECT_FALSE(editor->savedRecord());
    }
    EXPECT_FALSE(FileExists("product.dat"));
    EXPECT_FALSE(FileExists("store.lst"));
    EXPECT_FALSE(FileExists("unit.lst"));
}

TEST_F(ProductEditorTest, FiftyCharactersAreTakenAndAnExistingStoreMatchesInAnyCase)
{
    IdNameList stores;
    stores.AddOrCount(12, "Corner Shop", 0);
    ASSERT_EQ(stores.Save("store.lst"), kOk);
    const std::string before = test::ReadFileBytes("store.lst");
    database_.Open();

    auto editor = NewEditor();
    FillValid(*editor);
    const QString fifty = QString(49, QLatin1Char('n')) + QStringLiteral("Z");
    editor->nameEdit()->setText(fifty);
    editor->storeBox()->setEditText(QStringLiteral("corner shop"));
    editor->okButton()->click();
    ASSERT_TRUE(boxes_.shown().empty()) << boxes_.lastText().toStdString();
    ASSERT_TRUE(editor->savedRecord());
    EXPECT_EQ(editor->savedRecord()->name(), std::string(49, 'n'));
    EXPECT_EQ(editor->savedRecord()->storeId, 12);
    EXPECT_EQ(test::ReadFileBytes("store.lst"), before);
}

TEST_F(ProductEditorTest, AFailedSaveKeepsTheEditorOpen)
{
    // A folder where the record file should be: it cannot be opened.
    std::filesystem::create_directory(dir_.path() / "product.dat");
    auto editor = NewEditor();
    FillValid(*editor);
    editor->okButton()->click();
    EXPECT_EQ(boxes_.lastText(),
              QStringLiteral("There was an error while saving the product data to the database."));
    EXPECT_TRUE(editor->isVisible());
}

TEST_F(ProductEditorTest, EditingAPurchaseKeepsItsScheduleAndItsDate)
{
    ShoppingValues values;
    values.name = "Coffee";
    values.purchaseType = 2;
    values.dayValue = 3;
    values.startDate = kTen - 5 * 86400 + 1234;
    values.pricePerUnit = 4.5;
    values.quantity = 2.75;
    std::optional<ShoppingRecord> purchase = database_.AddRecord(ShoppingDatabase::kPurchases, values);
    ASSERT_TRUE(purchase);

    auto editor = NewEditor(ShoppingDatabase::kPurchases, purchase);
    EXPECT_FALSE(editor->purchaseTypeBox()->isEnabled());
    EXPECT_EQ(editor->purchaseTypeBox()->currentText(), QStringLiteral("Every Few Days"));
    EXPECT_EQ(editor->dayCaption()->text(), QStringLiteral("Purchase Date:"));
    EXPECT_FALSE(editor->dateEdit()->isHidden());
    EXPECT_TRUE(editor->dayBox()->isHidden());
    EXPECT_EQ(editor->dateEdit()->date(), QDate(2026, 3, 5));
    EXPECT_EQ(editor->priceEdit()->text(), QStringLiteral("4.50"));
    EXPECT_EQ(editor->quantityEdit()->text(), QStringLiteral("2.75")) << "a fraction is not cut off";
    EXPECT_EQ(editor->taxEdit()->text(), QStringLiteral("0.00")) << "as a new product shows it";

    editor->nameEdit()->setText(QStringLiteral("Coffee beans"));
    editor->dateEdit()->setDate(QDate(2026, 3, 1));
    editor->okButton()->click();
    ASSERT_TRUE(boxes_.shown().empty()) << boxes_.lastText().toStdString();
    std::optional<ShoppingRecord> saved = database_.Find(ShoppingDatabase::kPurchases, purchase->id);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->name(), "Coffee beans");
    EXPECT_EQ(saved->startDate, values.startDate) << "a recurring purchase keeps its date";
    EXPECT_EQ(saved->purchaseType, 2);
    EXPECT_EQ(saved->dayValue, 3);
    EXPECT_DOUBLE_EQ(saved->quantity, 2.75);

    // A One Time purchase takes the picker's date.
    values.purchaseType = 1;
    values.dayValue = 0;
    values.quantity = 3;
    purchase = database_.AddRecord(ShoppingDatabase::kPurchases, values);
    ASSERT_TRUE(purchase);
    auto oneTime = NewEditor(ShoppingDatabase::kPurchases, purchase);
    EXPECT_EQ(oneTime->quantityEdit()->text(), QStringLiteral("3"));
    oneTime->okButton()->click();
    EXPECT_EQ(database_.Find(ShoppingDatabase::kPurchases, purchase->id)->startDate, values.startDate)
        << "an untouched date keeps the moment of the purchase";
    auto moved
        = NewEditor(ShoppingDatabase::kPurchases, database_.Find(ShoppingDatabase::kPurchases, purchase->id));
    moved->dateEdit()->setDate(QDate(2026, 3, 1));
    moved->okButton()->click();
    EXPECT_EQ(database_.Find(ShoppingDatabase::kPurchases, purchase->id)->startDate,
              *LocalTime(2026, 3, 1, 1, 0, 0));
}

TEST_F(ProductEditorTest, CouponsAreAppliedRemovedAndLimitedToFive)
{
    for (int id = 1; id <= 6; ++id) {
        AddItem(id,
                id % 2 == 1 ? 1 : 2,
                ("Milk offer " + std::to_string(id)).c_str(),
                kTen - 3600,
                7,
                "Corner Shop");
    }
    auto editor = NewEditor();
    FillValid(*editor);
    editor->SetPickerRun(Picking(QStringLiteral("Milk offer 2")));
    editor->findCouponsButton()->click();
    ASSERT_TRUE(boxes_.shown().empty()) << boxes_.lastText().toStdString();
    EXPECT_EQ(Texts(*editor->couponList()), QStringList{QStringLiteral("Milk offer 2")});
    EXPECT_EQ(editor->couponSlots()[0].id, 2);

    // The same coupon again is refused.
    editor->findCouponsButton()->click();
    EXPECT_EQ(
        boxes_.lastText(),
        QStringLiteral("The selected coupond or deal is already applied to the current product.\nYou can not "
                       "apply the same coupon more than once to the same product."));
    EXPECT_EQ(editor->couponList()->topLevelItemCount(), 1);

    // Open and View go to the site's pages of the coupon; Remove frees its slot.
    editor->couponList()->setCurrentItem(editor->couponList()->topLevelItem(0));
    EXPECT_TRUE(editor->removeButton()->isEnabled());
    editor->openButton()->click();
    editor->viewButton()->click();
    ASSERT_EQ(started_.size(), 2u);
    EXPECT_EQ(started_[0].back(), "http://127.0.0.1:9/redir.aspx?srcType=2&srcId=2");
    EXPECT_EQ(started_[1].back(), "http://127.0.0.1:9/deal.aspx?srcId=2");
    editor->removeButton()->click();
    EXPECT_EQ(editor->couponList()->topLevelItemCount(), 0);
    EXPECT_EQ(editor->couponSlots()[0].id, 0);
    EXPECT_FALSE(editor->removeButton()->isEnabled());

    for (int id = 1; id <= 5; ++id) {
        editor->SetPickerRun(Picking(QStringLiteral("Milk offer %1").arg(id)));
        editor->findCouponsButton()->click();
    }
    EXPECT_EQ(editor->couponList()->topLevelItemCount(), 5);
    boxes_.Clear();
    bool pickerRan = false;
    editor->SetPickerRun([&](CouponPicker&) {
        pickerRan = true;
        return CouponPicker::kClosed;
    });
    editor->findCouponsButton()->click();
    EXPECT_FALSE(pickerRan);
    EXPECT_EQ(boxes_.lastText(),
              QStringLiteral(
                  "You can apply a maximum of 5 coupons and deals for each product in your shopping list.\n"
                  "Please remove at least one of the current coupons and deals if you want to apply a "
                  "new one."));

    // One removed row frees exactly one slot, and the next coupon takes it.
    editor->couponList()->setCurrentItem(Row(*editor->couponList(), QStringLiteral("Milk offer 3")));
    editor->removeButton()->click();
    editor->SetPickerRun(Picking(QStringLiteral("Milk offer 6")));
    editor->findCouponsButton()->click();
    EXPECT_EQ(editor->couponSlots()[2].id, 6);
    boxes_.Clear();
    editor->findCouponsButton()->click();
    EXPECT_TRUE(boxes_.lastText().startsWith(QStringLiteral("You can apply a maximum of 5")));

    editor->okButton()->click();
    const std::vector<ShoppingRecord> stored = StoredProducts();
    ASSERT_EQ(stored.size(), 1u);
    std::vector<std::int32_t> ids;
    for (const ItemRecord& coupon : stored[0].coupons) {
        ids.push_back(coupon.id);
    }
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 2, 6, 4, 5}));
    EXPECT_EQ(stored[0].coupons[2].title(), "Milk offer 6");

    // Reopened, the applied coupons are its rows.
    auto again = NewEditor(ShoppingDatabase::kProducts, stored[0]);
    EXPECT_EQ(again->couponList()->topLevelItemCount(), 5);
}

TEST_F(ProductEditorTest, FindCouponsNeedsANameAndPassesTheStore)
{
    IdNameList stores;
    stores.AddOrCount(7, "Corner Shop", 0);
    ASSERT_EQ(stores.Save("store.lst"), kOk);
    database_.Open();
    auto editor = NewEditor();
    editor->nameEdit()->setText(QStringLiteral("M"));
    bool pickerRan = false;
    std::int32_t storeShown = -1;
    editor->SetPickerRun([&](CouponPicker& picker) {
        pickerRan = true;
        storeShown = picker.currentStoreId();
        return CouponPicker::kClosed;
    });
    editor->findCouponsButton()->click();
    EXPECT_FALSE(pickerRan);
    EXPECT_EQ(
        boxes_.lastText(),
        QStringLiteral("You must type in the product name if you want Tallyhawk to search for coupons and "
                       "deals for this product."));
    editor->nameEdit()->setText(QStringLiteral("Milk"));
    editor->storeBox()->setEditText(QStringLiteral("Corner shop"));
    editor->findCouponsButton()->click();
    EXPECT_TRUE(pickerRan);
    EXPECT_EQ(storeShown, 7);
    EXPECT_EQ(editor->couponList()->topLevelItemCount(), 0) << "a closed picker applies nothing";
}

TEST_F(ProductEditorTest, TheChosenOfferFillsTheProduct)
{
    IdNameList categories;
    categories.AddOrCount(31, "Groceries", 0);
    ASSERT_EQ(categories.Save("category.lst"), kOk);
    database_.Open();
    QStringList asked;
    QStringList categoriesAsked;
    std::int32_t savedId = 0;
    auto compare = [&](QWidget*, const QString& name, const QString& category) {
        asked << name;
        categoriesAsked << category;
        savedId = SaveComparison(name.toStdString(), {{"Dear", 9.5}, {"Cheap", 1.255}, {"Middle", 4.0}});
        return savedId;
    };
    auto editor = NewEditor(ShoppingDatabase::kProducts, std::nullopt, compare);
    EXPECT_TRUE(editor->comparePricesButton()->isEnabled());
    editor->nameEdit()->setText(QStringLiteral("x"));
    editor->comparePricesButton()->click();
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(
        boxes_.lastText(),
        QStringLiteral("You must type in the product name if you want Tallyhawk to compare online prices for "
                       "this product."));

    FillValid(*editor);
    editor->categoryBox()->setEditText(QStringLiteral("groceries"));
    QStringList rows;
    editor->SetPickerRun(Picking(QString(), &rows));
    editor->comparePricesButton()->click();
    EXPECT_EQ(asked, QStringList{QStringLiteral("Milk")});
    EXPECT_EQ(categoriesAsked, QStringList{QStringLiteral("groceries")}) << "the category is chosen first";
    ASSERT_GE(savedId, 2);
    EXPECT_EQ(rows, (QStringList{QStringLiteral("Cheap"), QStringLiteral("Middle"), QStringLiteral("Dear")}));
    EXPECT_EQ(editor->descriptionEdit()->toPlainText(),
              QStringLiteral("Store: Cheap Store\nURL: https://shop.example/2\nAbout Cheap"));
    EXPECT_EQ(editor->priceEdit()->text(), QStringLiteral("1.25"));
    EXPECT_EQ(editor->storeBox()->currentText(), QStringLiteral("Cheap Store"));

    editor->okButton()->click();
    ASSERT_TRUE(editor->savedRecord());
    EXPECT_EQ(editor->savedRecord()->storeId, 5000);
    EXPECT_DOUBLE_EQ(editor->savedRecord()->pricePerUnit, 1.25);

    // A comparison that saved nothing opens no picker.
    auto none = NewEditor(ShoppingDatabase::kProducts,
                          std::nullopt,
                          [](QWidget*, const QString&, const QString&) { return 0; });
    FillValid(*none);
    bool pickerRan = false;
    none->SetPickerRun([&](CouponPicker&) {
        pickerRan = true;
        return CouponPicker::kClosed;
    });
    none->comparePricesButton()->click();
    EXPECT_FALSE(pickerRan);
}

TEST_F(ProductEditorTest, EnterSavesAndEscapeCancels)
{
    auto editor = NewEditor();
    FillValid(*editor);
    editor->nameEdit()->setFocus();
    QTest::keyClick(editor->nameEdit(), Qt::Key_Return);
    EXPECT_EQ(editor->result(), QDialog::Accepted);
    EXPECT_TRUE(editor->savedRecord());

    // Also from an editable box.
    auto fromBox = NewEditor();
    FillValid(*fromBox);
    fromBox->storeBox()->setEditText(QStringLiteral("Corner Shop"));
    QTest::keyClick(fromBox->storeBox()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(fromBox->result(), QDialog::Accepted);

    auto cancelled = NewEditor();
    FillValid(*cancelled);
    QTest::keyClick(cancelled->nameEdit(), Qt::Key_Escape);
    EXPECT_EQ(cancelled->result(), QDialog::Rejected);
    EXPECT_FALSE(cancelled->savedRecord());
    EXPECT_EQ(StoredProducts().size(), 2u);
}

TEST_F(ProductEditorTest, TheTabOrderFollowsTheControls)
{
    auto editor = NewEditor();
    Choose(editor->purchaseTypeBox(), QStringLiteral("Every Week"));
    const std::vector<QWidget*> expected{editor->nameEdit(),
                                         editor->purchaseTypeBox(),
                                         editor->dayBox(),
                                         editor->storeBox(),
                                         editor->categoryBox(),
                                         editor->priceEdit(),
                                         editor->taxEdit(),
                                         editor->unitBox(),
                                         editor->quantityEdit(),
                                         editor->descriptionEdit(),
                                         editor->findCouponsButton()};
    for (std::size_t index = 1; index < expected.size(); ++index) {
        QWidget* next = expected[index - 1]->nextInFocusChain();
        // Editable boxes put their line edit in the chain.
        while (next != nullptr && next->parentWidget() == expected[index - 1]) {
            next = next->nextInFocusChain();
        }
        while (next != nullptr && !(next->isVisible() && next->focusPolicy() & Qt::TabFocus)) {
            next = next->nextInFocusChain();
        }
        EXPECT_TRUE(next == expected[index] || (next != nullptr && next->parentWidget() == expected[index]))
            << "after " << expected[index - 1]->accessibleName().toStdString();
    }
}

TEST_F(ProductEditorTest, EditOpensTheRecordAndReturnsTheResult)
{
    ShoppingValues values;
    values.name = "Soap";
    values.purchaseType = 1;
    values.startDate = kTen;
    std::optional<ShoppingRecord> product = database_.AddRecord(ShoppingDatabase::kProducts, values);
    ASSERT_TRUE(product);

    QString nameShown;
    QTimer::singleShot(0, [&] {
        auto* editor = qobject_cast<ProductEditor*>(QApplication::activeModalWidget());
        ASSERT_NE(editor, nullptr);
        nameShown = editor->nameEdit()->text();
        editor->nameEdit()->setText(QStringLiteral("Hand soap"));
        editor->okButton()->click();
    });
    const std::optional<ShoppingRecord> saved
        = ProductEditor::Edit(nullptr, database_, ShoppingDatabase::kProducts, product->id, {});
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->id, product->id);
    EXPECT_EQ(nameShown, QStringLiteral("Soap"));
    EXPECT_EQ(database_.Find(ShoppingDatabase::kProducts, product->id)->name(), "Hand soap");

    QTimer::singleShot(0, [] {
        if (QWidget* editor = QApplication::activeModalWidget()) {
            QTest::keyClick(editor, Qt::Key_Escape);
        }
    });
    EXPECT_FALSE(ProductEditor::Edit(nullptr, database_, ShoppingDatabase::kProducts, 0, {}));

    // A record that is gone is told, without an editor.
    EXPECT_FALSE(ProductEditor::Edit(nullptr, database_, ShoppingDatabase::kProducts, 99, {}));
    EXPECT_EQ(boxes_.lastText(), QStringLiteral("The selected product could not be read from the database."));
}

} // namespace
} // namespace tallyhawk
