#include "gui/app/app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace tallyhawk
{

namespace
{

// Where Qt's SVG support is missing, a plain drawing of the mark (a tag and a coin) keeps the tray
// icon visible.
QIcon DrawnMark()
{
    QIcon icon;
    for (int size : {16, 22, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 64.0, size / 64.0);
        painter.setPen(QPen(QColor(0x14, 0x52, 0x46), 2));
        painter.setBrush(QColor(0x23, 0x80, 0x6f));
        painter.drawRoundedRect(QRectF(6, 6, 50, 50), 8, 8);
        painter.setPen(QPen(QColor(0x9a, 0x6a, 0x08), 2));
        painter.setBrush(QColor(0xf0, 0xb4, 0x29));
        painter.drawEllipse(QPointF(47, 49), 11, 11);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

QIcon BuiltInAppIcon()
{
    QIcon icon(QStringLiteral(":/tallyhawk/tallyhawk.svg"));
    if (icon.pixmap(32, 32).isNull()) {
        return DrawnMark();
    }
    return icon;
}

QIcon AppIcon()
{
    QIcon themed = QIcon::fromTheme(QStringLiteral("tallyhawk"));
    return themed.isNull() ? BuiltInAppIcon() : themed;
}

} // namespace tallyhawk
