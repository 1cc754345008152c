#include "gui/app/screenshot_scenes.h"

#include "gui/app/main_window.h"
#include "gui/print/list_printer.h"

#include <QLabel>
#include <QPixmap>

namespace tallyhawk
{

ScreenshotScene SetUpScreenshotScene(const QString& name, MainWindow& window)
{
    if (name.isEmpty() || name == QStringLiteral("main")) {
        return {&window, false};
    }
    // One block per scene, each on its own.
    if (name == QStringLiteral("printed-page")) {
        // The first page of the Coupons & Deals folder as it prints: A4 at 100 dots per inch.
        window.ShowFolder(FolderKind::CouponsAndDeals);
        const ListPrinter printer(*window.model(), {});
        const QImage page
            = printer.FirstPage(QSize(827, 1169), 100, QStringLiteral("Tallyhawk Shopping Assistant"));
        auto* picture = new QLabel(&window, Qt::Window);
        picture->setAccessibleName(QStringLiteral("Printed page"));
        if (page.isNull()) {
            picture->setText(QStringLiteral("The Coupons & Deals folder is empty: nothing to print."));
        } else {
            picture->setPixmap(QPixmap::fromImage(page));
        }
        picture->adjustSize();
        picture->show();
        return {picture, false};
    }
    return {};
}

} // namespace tallyhawk
