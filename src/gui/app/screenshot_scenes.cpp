#include "gui/app/screenshot_scenes.h"

#include "core/compare/search_index.h"
#include "gui/app/main_window.h"
#include "gui/compare/compare_scenes.h"
#include "gui/shopping/coupon_picker.h"
#include "gui/shopping/product_editor.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>

namespace tallyhawk
{

ScreenshotScene SetUpScreenshotScene(const QString& name, MainWindow& window)
{
    if (name.isEmpty() || name == QStringLiteral("main")) {
        return {&window, false};
    }
    // One block per scene, each on its own.
    if (name == QStringLiteral("product-new") || name == QStringLiteral("product-coupons")) {
        static ShoppingDatabase database;
        database.Open();
        ProductEditor::Services services;
        services.comparePrices = [](QWidget*, const QString&, std::int32_t) {
            return 0;
        };
        auto* editor
            = new ProductEditor(database, ShoppingDatabase::kProducts, std::nullopt, services, &window);
        if (name == QStringLiteral("product-coupons")) {
            editor->nameEdit()->setText(QStringLiteral("Coffee beans"));
            editor->purchaseTypeBox()->setCurrentIndex(6);
            editor->dayBox()->setCurrentIndex(14);
            editor->priceEdit()->setText(QStringLiteral("8.99"));
            editor->descriptionEdit()->setPlainText(QStringLiteral("Whole beans, 1 kg bag"));
            // Two of the downloaded coupons and deals, whatever their texts.
            for (int row : {0, 1}) {
                editor->SetPickerRun([row](CouponPicker& picker) {
                    picker.ApplySearchText(QString());
                    QTreeWidgetItem* item = picker.list()->topLevelItem(row);
                    if (item == nullptr) {
                        return CouponPicker::kClosed;
                    }
                    picker.list()->setCurrentItem(item);
                    picker.Select();
                    return CouponPicker::kSelected;
                });
                editor->FindCoupons();
            }
        }
        editor->show();
        return {editor, false};
    }
    if (name == QStringLiteral("picker-coupons")) {
        auto* picker = new CouponPicker(CouponPicker::Mode::Coupons, QString(), 0, 0, &window);
        picker->ApplySearchText(QString());
        picker->list()->setCurrentItem(picker->list()->topLevelItem(0));
        picker->show();
        return {picker, false};
    }
    if (name == QStringLiteral("picker-results")) {
        ResultList offers;
        const struct
        {
            const char* name;
            const char* site;
            double price;
        } found[] = {{"Coffee beans 1 kg, medium roast", "Bean Barn", 11.49},
                     {"Arabica whole beans 1 kg", "Corner Shop", 8.99},
                     {"Espresso beans 1 kg", "Mega Mart", 9.75}};
        std::int32_t id = 0;
        for (const auto& offer : found) {
            PriceResult result;
            result.id = ++id;
            result.name = offer.name;
            result.siteName = offer.site;
            result.price = offer.price;
            result.link = "https://example.com/offer/" + std::to_string(id);
            offers.Insert(result);
        }
        const std::int32_t comparison = SearchIndex().SaveSearch(0, "coffee beans", offers);
        auto* picker = new CouponPicker(
            CouponPicker::Mode::PriceResults, QStringLiteral("coffee beans"), 0, comparison, &window);
        picker->list()->setCurrentItem(picker->list()->topLevelItem(0));
        picker->show();
        return {picker, false};
    }
    if (name == QStringLiteral("compare") || name == QStringLiteral("comparing")) {
        return {ShowCompareScene(name, &window), false};
    }
    return {};
}

} // namespace tallyhawk
