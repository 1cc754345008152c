#include "gui/shots/screenshot_run.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace tallyhawk
{

void ScreenshotRun::Schedule(QWidget& widget, bool wholeScreen, const QString& path)
{
    // A moment for the window system to map and paint the windows.
    QTimer::singleShot(1500, &widget, [&widget, wholeScreen, path] {
        QScreen* screen = widget.screen();
        const QPixmap picture = wholeScreen && screen != nullptr ? screen->grabWindow(0) : widget.grab();
        const bool saved = picture.save(path, "PNG");
        QCoreApplication::exit(saved ? 0 : 1);
    });
}

QPalette ScreenshotRun::Darkened(const QPalette& palette)
{
    QPalette dark = palette;
    for (int group = 0; group < QPalette::NColorGroups; ++group) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto colorGroup = static_cast<QPalette::ColorGroup>(group);
            const auto colorRole = static_cast<QPalette::ColorRole>(role);
            const QColor color = palette.color(colorGroup, colorRole);
            dark.setColor(colorGroup,
                          colorRole,
                          QColor::fromHsl(color.hslHue(), color.hslSaturation(), 255 - color.lightness()));
        }
    }
    return dark;
}

} // namespace tallyhawk
