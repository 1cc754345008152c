#include "gui/alerts/alert_link.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace tallyhawk
{

namespace
{

// Room for the focus frame around the text.
constexpr int kPadding = 2;

} // namespace

AlertLink::AlertLink(QWidget* parent)
    : QWidget(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
}

void AlertLink::SetLink(const QString& text, const QString& address)
{
    text_ = text;
    address_ = address;
    setToolTip(address);
    setAccessibleName(text);
    setAccessibleDescription(address);
    updateGeometry();
    update();
}

void AlertLink::SetColors(const Colors& colors)
{
    colors_ = colors;
    update();
}

void AlertLink::SetVisited()
{
    visited_ = true;
    update();
}

QColor AlertLink::currentColor() const
{
    if (hovered_) {
        return colors_.hover;
    }
    return visited_ ? colors_.visited : colors_.normal;
}

QSize AlertLink::sizeHint() const
{
    // Rounded up with a pixel to spare, so a text that fits is never cut by rounding.
    const QFontMetricsF metrics(LinkFont());
    const int textWidth = static_cast<int>(std::ceil(metrics.horizontalAdvance(text_))) + 1;
    return {textWidth + 2 * kPadding, static_cast<int>(std::ceil(metrics.height())) + 2 * kPadding};
}

QSize AlertLink::minimumSizeHint() const
{
    const QFontMetrics metrics(LinkFont());
    return {metrics.horizontalAdvance(QStringLiteral("Mmmm\u2026")) + 2 * kPadding,
            metrics.height() + 2 * kPadding};
}

void AlertLink::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(LinkFont());
    const QRect inside = rect().adjusted(kPadding, kPadding, -kPadding, -kPadding);
    painter.setPen(currentColor());
    painter.drawText(inside,
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     painter.fontMetrics().elidedText(text_, Qt::ElideRight, inside.width()));
    if (hasFocus()) {
        QPen dotted(currentColor(), 1, Qt::DotLine);
        painter.setPen(dotted);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void AlertLink::enterEvent(QEnterEvent* event)
{
    hovered_ = true;
    update();
    QWidget::enterEvent(event);
}

void AlertLink::leaveEvent(QEvent* event)
{
    hovered_ = false;
    update();
    QWidget::leaveEvent(event);
}

void AlertLink::mousePressEvent(QMouseEvent* event)
{
    // Taken here, so a press on the link never starts dragging the popup.
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void AlertLink::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click
        = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) {
        emit clicked();
    }
}

void AlertLink::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        emit clicked();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

QFont AlertLink::LinkFont() const
{
    QFont bold = font();
    bold.setBold(true);
    bold.setUnderline(true);
    return bold;
}

} // namespace tallyhawk
