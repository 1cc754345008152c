#include "gui/app/screenshot_scenes.h"

#include "gui/app/main_window.h"

namespace tallyhawk
{

ScreenshotScene SetUpScreenshotScene(const QString& name, MainWindow& window)
{
    if (name.isEmpty() || name == QStringLiteral("main")) {
        return {&window, false};
    }
    // One block per scene, each on its own.
    if (name == QStringLiteral("summary")) {
        // Wide enough for the page's two columns.
        window.resize(1000, 640);
        window.ShowFolder(FolderKind::TodaysSummary);
        return {&window, false};
    }
    if (name == QStringLiteral("coupons")) {
        window.resize(1000, 640);
        window.ShowFolder(FolderKind::CouponsAndDeals);
        return {&window, false};
    }
    return {};
}

} // namespace tallyhawk
