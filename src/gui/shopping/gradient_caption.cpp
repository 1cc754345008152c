#include "gui/shopping/gradient_caption.h"

#include <QLinearGradient>
#include <QPainter>

namespace tallyhawk
{
namespace
{

constexpr int kIndent = 10;

} // namespace

GradientCaption::GradientCaption(const QString& text,
                                 QPalette::ColorRole top,
                                 QPalette::ColorRole bottom,
                                 QPalette::ColorRole textRole,
                                 QWidget* parent)
    : QLabel(text, parent)
    , top_(top)
    , bottom_(bottom)
    , textRole_(textRole)
{
    setAccessibleName(text);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize GradientCaption::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 2 * kIndent, metrics.height() + 8};
}

QSize GradientCaption::minimumSizeHint() const
{
    return {2 * kIndent, QFontMetrics(font()).height() + 8};
}

void GradientCaption::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = rect();
    QLinearGradient gradient(area.topLeft(), area.bottomLeft());
    gradient.setColorAt(0, palette().color(top_));
    gradient.setColorAt(1, palette().color(bottom_));
    painter.fillRect(area, gradient);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(textRole_));
    const QRect textArea = area.adjusted(kIndent, 0, -kIndent / 2, 0);
    const QString shown = QFontMetrics(font()).elidedText(text(), Qt::ElideRight, textArea.width());
    painter.drawText(textArea, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, shown);
}

} // namespace tallyhawk
