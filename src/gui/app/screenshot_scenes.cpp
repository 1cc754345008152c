#include "gui/app/screenshot_scenes.h"

#include "gui/app/card_scenes.h"
#include "gui/app/main_window.h"

namespace tallyhawk
{

ScreenshotScene SetUpScreenshotScene(const QString& name, MainWindow& window)
{
    if (name.isEmpty() || name == QStringLiteral("main")) {
        return {&window, false};
    }
    // One block per scene, each on its own.
    if (name.startsWith(QStringLiteral("cards-"))) {
        QWidget* cards = SetUpCardScene(name, window);
        return {cards, false};
    }
    return {};
}

} // namespace tallyhawk
