#pragma once

#include "core/platform/browser_launcher.h"
#include "core/shopping/shopping_database.h"
#include "core/shopping/shopping_record.h"
#include "core/store/item_record.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace tallyhawk
{

class CouponPicker;

// "Product": creates or changes a shopping-list product (kind 1) or a purchase (kind 2): name,
// schedule, store, category, unit, price, tax, quantity, description and up to five applied coupons.
// Nothing is written before OK; OK checks the input, saves through the shopping database and ends
// with kSaved. Cancel ends with kCancelled.
class ProductEditor : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kSaved = 0;
    static constexpr int kCancelled = 2;

    // Runs the price comparison for an item name, with the name of the category to choose first (empty:
    // none), and returns the id of the comparison it saved, 0 for none.
    using ComparePrices
        = std::function<std::int32_t(QWidget* parent, const QString& itemName, const QString& categoryName)>;
    // Runs a picker to its end: CouponPicker::kSelected or kClosed. exec() unless a test sets another.
    using PickerRun = std::function<int(CouponPicker& picker)>;

    // What the editor needs of its caller besides the database.
    struct Services
    {
        std::string siteBaseUrl; // the site of the item pages; the build's when empty
        BrowserLauncher* browser = nullptr; // one of the editor's own when not given
        ComparePrices comparePrices; // Compare Prices stays disabled without one
    };

    // `record` is the record to change, none for a new product.
    ProductEditor(ShoppingDatabase& database,
                  std::int32_t kind,
                  std::optional<ShoppingRecord> record,
                  Services services,
                  QWidget* parent = nullptr);
    ~ProductEditor() override;

    // The main window's entry: edits the record `id` of `kind` (0: a new product) modally and returns
    // the record saved, none when cancelled. A record that is not there (any more) is told and gives none.
    static std::optional<ShoppingRecord> Edit(QWidget* parent,
                                              ShoppingDatabase& database,
                                              std::int32_t kind,
                                              std::int32_t id,
                                              const Services& services);

    // A new product filled in from a deal, modally, as Edit: its name, its store, the price its extra
    // text names, and the deal itself as the product's first coupon.
    static std::optional<ShoppingRecord> EditFromDeal(QWidget* parent,
                                                      ShoppingDatabase& database,
                                                      const ItemRecord& deal,
                                                      const Services& services);
    // Fills the fields of a new product from a deal (EditFromDeal).
    void FillFromDeal(const ItemRecord& deal);

    void SetPickerRun(PickerRun run) { pickerRun_ = std::move(run); }

    // The commands of the buttons.
    void Save();
    void FindCoupons();
    void ComparePricesOnline();
    void OpenSelectedCoupon();
    void ViewSelectedCoupon();
    void RemoveSelectedCoupon();

    // The record the last successful save wrote (its `nextDue` computed for a product).
    const std::optional<ShoppingRecord>& savedRecord() const { return saved_; }
    const std::array<ItemRecord, ShoppingRecord::kCouponSlots>& couponSlots() const { return slots_; }

    QLineEdit* nameEdit() const { return name_; }
    QComboBox* purchaseTypeBox() const { return purchaseType_; }
    QDateEdit* dateEdit() const { return date_; }
    QComboBox* dayBox() const { return day_; }
    QLabel* dayCaption() const { return dayCaption_; }
    QComboBox* storeBox() const { return store_; }
    QComboBox* categoryBox() const { return category_; }
    QComboBox* unitBox() const { return unit_; }
    QLineEdit* priceEdit() const { return price_; }
    QLineEdit* taxEdit() const { return tax_; }
    QLineEdit* quantityEdit() const { return quantity_; }
    QPlainTextEdit* descriptionEdit() const { return description_; }
    QTreeWidget* couponList() const { return coupons_; }
    QPushButton* findCouponsButton() const { return findCoupons_; }
    QPushButton* openButton() const { return open_; }
    QPushButton* viewButton() const { return view_; }
    QPushButton* removeButton() const { return remove_; }
    QPushButton* comparePricesButton() const { return compare_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    QWidget* BuildDetails();
    QWidget* BuildCoupons();
    QWidget* BuildComparison();
    void FillLists();
    void ShowRecord(const ShoppingRecord& record);
    void PurchaseTypeChanged();
    void SelectDay(int number);
    void AddCouponRow(std::size_t slot);
    void CouponRowChanged();
    // The applied coupon behind the selected row; nothing when no row is selected.
    const ItemRecord* SelectedCoupon() const;
    // Checks the input in the order the user is told about it and fills `values`; false after a message.
    bool Gather(ShoppingValues& values);
    void Warn(const QString& text);
    BrowserLauncher& Browser();
    int RunPicker(CouponPicker& picker);

    ShoppingDatabase& database_;
    std::int32_t kind_;
    std::optional<ShoppingRecord> record_;
    std::array<ItemRecord, ShoppingRecord::kCouponSlots> slots_{};
    std::optional<ShoppingRecord> saved_;
    Services services_;
    std::unique_ptr<BrowserLauncher> ownBrowser_;
    PickerRun pickerRun_;

    QLineEdit* name_;
    QComboBox* purchaseType_;
    QDateEdit* date_;
    QComboBox* day_;
    QLabel* dayCaption_;
    QComboBox* store_;
    QComboBox* category_;
    QComboBox* unit_;
    QLineEdit* price_;
    QLineEdit* tax_;
    QLineEdit* quantity_;
    QPlainTextEdit* description_;
    QTreeWidget* coupons_;
    QPushButton* findCoupons_;
    QPushButton* open_;
    QPushButton* view_;
    QPushButton* remove_;
    QPushButton* compare_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

} // namespace tallyhawk
