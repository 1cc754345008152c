#include "gui/app/screenshot_scenes.h"

#include "core/store/item_store.h"
#include "gui/app/item_list_model.h"
#include "gui/app/list_rows.h"
#include "gui/app/main_window.h"
#include "gui/compare/compare_scenes.h"
#include "gui/print/list_printer.h"

#include <QLabel>
#include <QPixmap>

#include <vector>

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
        // The first page of the Coupons & Deals folder as it prints: A4 at 100 dots per inch. The rows
        // are the folder's, read here with records that live as long as the scene needs them.
        window.ShowFolder(FolderKind::CouponsAndDeals);
        ItemStore deals;
        deals.Open("deal.lst");
        deals.Load(window.viewFilter());
        const std::vector<ItemRecord> items = deals.Items();
        ItemListModel rows;
        rows.Reset(ListRows::FromItems(items));
        const QImage page = ListPrinter(rows, {}).FirstPage(
            QSize(827, 1169), 100, QStringLiteral("Tallyhawk Shopping Assistant"));
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
    return {};
}

} // namespace tallyhawk
