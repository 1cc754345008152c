#include "gui/app/screenshot_scenes.h"

#include "core/settings/settings.h"
#include "core/store/item_record.h"
#include "gui/alerts/alert_counters.h"
#include "gui/alerts/alert_delivery.h"
#include "gui/alerts/alert_popup.h"
#include "gui/app/card_scenes.h"
#include "gui/app/item_list_model.h"
#include "gui/app/main_window.h"
#include "gui/compare/compare_scenes.h"
#include "gui/print/list_printer.h"
#include "gui/settings/settings_dialog.h"

#include <QLabel>
#include <QPixmap>

#include <memory>
#include <string>

namespace tallyhawk
{

ScreenshotScene SetUpScreenshotScene(const QString& name, MainWindow& window)
{
    if (name.isEmpty() || name == QStringLiteral("main")) {
        return {&window, false};
    }
    // One block per scene, each on its own.
    if (name == QStringLiteral("compare") || name == QStringLiteral("comparing")) {
        return {ShowCompareScene(name, &window), false};
    }
    if (name == QStringLiteral("printed-page")) {
        // The first page of the Coupons & Deals folder as it prints: A4 at 100 dots per inch.
        window.ShowFolder(FolderKind::CouponsAndDeals);
        const QImage page
            = ListPrinter(*window.model(), {})
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
        // Three alerts as a download pass raises them, stacked over the desktop.
        auto settings = std::make_shared<Settings>();
        auto counters = std::make_shared<AlertCounters>();
        auto delivery = std::make_shared<AlertDelivery>(
            *settings, [](const std::string&) { return true; }, AlertDelivery::Route::Popups);
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
        // The popups live as long as the window.
        QObject::connect(&window, &QObject::destroyed, &window, [settings, counters, delivery] {});
        return {delivery->openPopups().back(), true};
    }
    if (name == QStringLiteral("settings")) {
        auto settings = std::make_shared<Settings>();
        settings->useDealsFilter = 1;
        settings->dealsFilter = "kettle, coffee, tea";
        auto* dialog = new SettingsDialog(*settings, &window);
        QObject::connect(dialog, &QObject::destroyed, dialog, [settings] {});
        dialog->show();
        return {dialog, false};
    }
    if (name.startsWith(QStringLiteral("cards-"))) {
        QWidget* cards = SetUpCardScene(name, window);
        return {cards, false};
    }
    return {};
}

} // namespace tallyhawk
