#include "gui/shots/screenshot_run.h"

#include "gui/controls/system_colors.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace tallyhawk
{

namespace
{

// The widget's picture with the popup drawn over it, grown to hold the popup wholly.
QPixmap WithOverlay(QWidget& widget, QWidget& overlay)
{
    const QPixmap under = widget.grab();
    const QRect popup(widget.mapFromGlobal(overlay.mapToGlobal(QPoint(0, 0))), overlay.size());
    const QRect whole = QRect(QPoint(0, 0), under.deviceIndependentSize().toSize()).united(popup);
    QPixmap picture(whole.size() * under.devicePixelRatio());
    picture.setDevicePixelRatio(under.devicePixelRatio());
    picture.fill(widget.palette().color(QPalette::Window));
    QPainter painter(&picture);
    painter.drawPixmap(-whole.topLeft(), under);
    painter.drawPixmap(popup.topLeft() - whole.topLeft(), overlay.grab());
    return picture;
}

} // namespace

void ScreenshotRun::Schedule(QWidget& widget, bool wholeScreen, const QString& path, QWidget* overlay)
{
    // A moment for the window system to map and paint the windows.
    QTimer::singleShot(1500, &widget, [&widget, wholeScreen, path, overlay] {
        QScreen* screen = widget.screen();
        const QPixmap picture = wholeScreen && screen != nullptr ? screen->grabWindow(0)
            : overlay != nullptr && overlay->isVisible()         ? WithOverlay(widget, *overlay)
                                                                 : widget.grab();
        const bool saved = picture.save(path, "PNG");
        QCoreApplication::exit(saved ? 0 : 1);
    });
}

QPalette ScreenshotRun::Darkened(const QPalette& palette)
{
    return SystemColors::Darkened(palette);
}

} // namespace tallyhawk
