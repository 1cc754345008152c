#include "gui/shots/screenshot_run.h"

#include "gui/controls/system_colors.h"

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
    return SystemColors::Darkened(palette);
}

} // namespace tallyhawk
