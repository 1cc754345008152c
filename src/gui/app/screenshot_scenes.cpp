#include "gui/app/screenshot_scenes.h"

#include "gui/app/main_window.h"
#include "gui/compare/compare_scenes.h"

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
    return {};
}

} // namespace tallyhawk
