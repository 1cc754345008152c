#include "gui/shots/screenshot_scenes.h"

#include "core/common/clock.h"
#include "core/compare/search_index.h"
#include "core/settings/settings.h"
#include "core/store/alert_record.h"
#include "core/store/item_record.h"
#include "gui/alerts/alert_counters.h"
#include "gui/alerts/alert_delivery.h"
#include "gui/alerts/alert_popup.h"
#include "gui/app/due_notice.h"
#include "gui/app/main_window.h"
#include "gui/controls/time_filter_button.h"
#include "gui/print/list_printer.h"
#include "gui/settings/rule_preview_label.h"
#include "gui/settings/settings_dialog.h"
#include "gui/shopping/coupon_picker.h"
#include "gui/shopping/product_editor.h"
#include "gui/shots/card_scenes.h"
#include "gui/shots/compare_scenes.h"
#include "gui/shots/list_scenes.h"
#include "gui/shots/shell_scenes.h"
#include "gui/views/item_list_model.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <map>
#include <memory>
#include <string>

namespace tallyhawk
{

void WaitForView(MainWindow& window)
{
    // The loads take moments; a window that never shows its rows is pictured as it stands.
    QDeadlineTimer deadline(10000);
    while (window.busy() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

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
        services.comparePrices = [](QWidget*, const QString&, const QString&) {
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
    if (name == QStringLiteral("compare") || name == QStringLiteral("comparing")
        || name == QStringLiteral("agent-workshop")) {
        return {ShowCompareScene(name, &window), false};
    }
    if (name == QStringLiteral("printed-page")) {
        // The first page of the Coupons & Deals folder as it prints: A4 at 100 dots per inch.
        window.ShowFolder(FolderKind::CouponsAndDeals);
        WaitForView(window);
        // The rows as the list shows them, from the list found by its name, under the title the print
        // command gives them.
        const auto* rows = qobject_cast<const ItemListModel*>(
            window.findChild<QTreeView*>(QStringLiteral("itemList"))->model());
        const auto* span = window.findChild<TimeFilterButton*>();
        const PrintScope scope{FolderName(FolderKind::CouponsAndDeals),
                               span != nullptr ? TimeFilterButton::SpanText(span->span()) : QString(),
                               window.viewFilter().from,
                               window.viewFilter().to};
        const QImage page
            = ListPrinter(*rows, {}, scope)
                  .FirstPage(QSize(827, 1169), 100, QStringLiteral("Tallyhawk Shopping Assistant"));
        auto* picture = new QLabel(&window, Qt::Window);
        picture->setAccessibleName(QStringLiteral("Printed page"));
        if (page.isNull()) {
            picture->setText(QStringLiteral("The Coupons & Deals folder is empty: nothing to print."));
        } else {
            picture->setPixmap(QPixmap::fromImage(page));
            // The whole page: adjustSize would keep a window within two thirds of the screen.
            picture->setFixedSize(page.size());
        }
        picture->adjustSize();
        picture->show();
        return {picture, false};
    }
    if (name == QStringLiteral("popups")) {
        // Three alerts as a download pass raises them, stacked over the desktop; the one under them
        // closed early, and they moved down into its place.
        auto settings = std::make_shared<Settings>();
        auto counters = std::make_shared<AlertCounters>();
        auto delivery = std::make_shared<AlertDelivery>(
            *settings, [](const std::string&) { return true; }, AlertDelivery::Route::Popups);
        // Every action offered, as in the program; none runs here.
        delivery->SetActions({.addToShoppingList = [](const ItemRecord&) {},
                              .muteStore = [](const ItemRecord&) {},
                              .snooze = [] {},
                              .openDealsFolder =
                                  [] {
                                  }});
        const auto alert = [&](std::int32_t id,
                               std::int32_t kind,
                               const char* store,
                               const char* title,
                               const char* description,
                               const char* extra,
                               std::int16_t hot) {
            ItemValues values;
            values.id = id;
            values.kind = kind;
            values.hot = hot;
            values.storeName = store;
            values.title = title;
            values.description = description;
            values.extra = extra;
            delivery->Open(std::make_unique<ItemRecord>(ItemRecord::Make(values, 0)), *counters);
        };
        alert(100, 1, "Corner Shop", "Free delivery", "On orders over $25 this week.", "", 0);
        alert(101,
              2,
              "Corner Shop",
              "Half price kettles",
              "Every electric kettle in the shop at half price this weekend, while stocks last; "
              "collect in store or have it delivered for free on orders over $25.",
              "$9.99",
              0);
        alert(102,
              1,
              "Bistro & Co",
              "20% off your next order",
              "Use the code at checkout; one per customer.",
              "Ends Friday",
              1);
        alert(
            1, 99, "", "Tallyhawk Auto Update", "Tallyhawk has downloaded 12 new coupons and deals.", "", 0);
        delivery->Open(MakeAwaySummary(14, 2), *counters);
        delivery->openPopups().front()->close();
        // The popups live as long as the window.
        QObject::connect(&window, &QObject::destroyed, &window, [settings, counters, delivery] {});
        return {delivery->openPopups().back(), true};
    }
    if (name == QStringLiteral("settings")) {
        auto settings = std::make_shared<Settings>();
        settings->useDealsFilter = 1;
        settings->dealsFilter = "kettle | coffee, -decaf";
        settings->quietHours = 1;
        // The counts under the keyword boxes, over a few items of the demo's kind.
        const auto item = [](const char* title, const char* store) {
            ItemValues values;
            values.title = title;
            values.storeName = store;
            return ItemRecord::Make(values, 0);
        };
        const std::vector<ItemRecord> recent{item("Half price kettles", "Corner Shop"),
                                             item("Decaf coffee beans, 1 kg", "Bistro & Co"),
                                             item("Coffee grinder", "Corner Shop"),
                                             item("Garden hose", "Corner Shop")};
        auto* dialog = new SettingsDialog(*settings, &window, [recent](bool) { return recent; });
        // Counted at once, so the picture never waits on the dialog's reader.
        dialog->dealsPreview()->SetItems(recent);
        dialog->topicsPreview()->SetItems(recent);
        QObject::connect(dialog, &QObject::destroyed, dialog, [settings] {});
        dialog->show();
        return {dialog, false};
    }
    if (name.startsWith(QStringLiteral("menu-"))) {
        return SetUpShellScene(name, window);
    }
    if (name.startsWith(QStringLiteral("cards-"))) {
        QWidget* cards = SetUpCardScene(name, window);
        return {cards, false};
    }
    if (name == QStringLiteral("summary")) {
        // Wide enough for the page's two columns.
        window.resize(1000, 640);
        window.ShowFolder(FolderKind::TodaysSummary);
        return {&window, false};
    }
    if (name == QStringLiteral("due-notice")) {
        // A product saved with its first due day past the view's end.
        window.resize(1000, 640);
        window.ShowFolder(FolderKind::ShoppingList);
        window.findChild<DueNotice*>(QStringLiteral("dueNotice"))
            ->Tell(QStringLiteral("Coffee beans"), 0, static_cast<std::int32_t>(Clock::Now()) + 8 * 86400);
        return {&window, false};
    }
    if (name.startsWith(QStringLiteral("empty-"))) {
        // A folder with nothing to list says why. A folder the demo filled is searched for a word none
        // of its rows has, which is the other way a list ends up empty.
        const std::map<QString, FolderKind> folders{
            {QStringLiteral("empty-coupons"), FolderKind::CouponsAndDeals},
            {QStringLiteral("empty-topics"), FolderKind::ForumTopics},
            {QStringLiteral("empty-comparisons"), FolderKind::PriceComparisons},
            {QStringLiteral("empty-shopping"), FolderKind::ShoppingList},
            {QStringLiteral("empty-purchases"), FolderKind::PurchaseHistory},
        };
        const auto found = folders.find(name);
        if (found == folders.end()) {
            return {};
        }
        window.resize(1000, 640);
        window.ShowFolder(found->second);
        WaitForView(window);
        if (window.findChild<QTreeView*>(QStringLiteral("itemList"))->model()->rowCount() > 0) {
            window.ApplySearch(QStringLiteral("snowshoes"));
            WaitForView(window);
        }
        return {&window, false};
    }
    if (name == QStringLiteral("cash-back")) {
        window.resize(1000, 640);
        window.ShowFolder(FolderKind::CashBackStores);
        // The embedded page loads from the demo site; the picture waits for it, a while at most.
        if (QWidget* browser = window.findChild<QWidget*>(QStringLiteral("cashBackView"))) {
            QEventLoop loading;
            QObject::connect(browser, SIGNAL(loadFinished(bool)), &loading, SLOT(quit()));
            QTimer::singleShot(20000, &loading, &QEventLoop::quit);
            loading.exec();
        }
        return {&window, false};
    }
    if (SetUpListScene(name, window)) {
        return {&window, name == QStringLiteral("row-menu")};
    }
    if (name == QStringLiteral("coupons")) {
        window.resize(1000, 640);
        window.ShowFolder(FolderKind::CouponsAndDeals);
        return {&window, false};
    }
    return {};
}

} // namespace tallyhawk
