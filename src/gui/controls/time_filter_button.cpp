#include "gui/controls/time_filter_button.h"

#include "core/common/time_span.h"
#include "gui/controls/theme_icon.h"

#include <QActionGroup>
#include <QMenu>
#include <QStyleOptionToolButton>
#include <QStylePainter>

#include <algorithm>
#include <array>
#include <utility>

namespace tallyhawk
{
namespace
{

struct SpanEntry
{
    std::int32_t span;
    const char* text;
};

constexpr std::array<SpanEntry, 7> kSpans{{
    {TimeSpan::kToday, "Today"},
    {TimeSpan::kLast3Days, "Last 3 Days"},
    {TimeSpan::kLast7Days, "Last 7 Days"},
    {TimeSpan::kLast30Days, "Last 30 Days"},
    {TimeSpan::kLast60Days, "Last 60 Days"},
    {TimeSpan::kLast90Days, "Last 90 Days"},
    {TimeSpan::kLast180Days, "Last 180 Days"},
}};

} // namespace

TimeFilterButton::TimeFilterButton(QWidget* parent)
    : QToolButton(parent)
{
    setText(QStringLiteral("Last 7 Days"));
    setToolTip(QStringLiteral("Select the time interval that you want to view items for"));
    setAccessibleName(QStringLiteral("Time filter"));
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIcon(ThemeIcon("view-calendar"));
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("timeFilterMenu"));
    // One choice at a time, marked in the menu; the View menu shows the same entries.
    auto* choices = new QActionGroup(this);
    choices->setExclusive(true);
    for (const SpanEntry& entry : kSpans) {
        QAction* action = menu->addAction(QString::fromLatin1(entry.text));
        action->setCheckable(true);
        action->setData(entry.span);
        choices->addAction(action);
        connect(action, &QAction::triggered, this, [this, span = entry.span] { Choose(span); });
    }
    setMenu(menu);
}

void TimeFilterButton::Choose(std::int32_t span)
{
    QString text = SpanText(span);
    if (text.isEmpty()) {
        return;
    }
    span_ = span;
    setText(text);
    for (QAction* action : menu()->actions()) {
        action->setChecked(action->data().toInt() == span);
    }
    emit spanChosen(span);
}

QSize TimeFilterButton::sizeHint() const
{
    // As wide as the longest caption whatever the choice, so the commands beside it never move.
    QSize size = QToolButton::sizeHint();
    // Measured as the tool button measures its text.
    const QFontMetrics metrics = fontMetrics();
    const auto width = [&metrics](const QString& text) {
        return metrics.size(Qt::TextShowMnemonic, text).width();
    };
    int widest = 0;
    for (const SpanEntry& entry : kSpans) {
        widest = std::max(widest, width(QString::fromLatin1(entry.text)));
    }
    size.rwidth() += widest - width(text()) + ArrowWidth();
    return size;
}

int TimeFilterButton::ArrowWidth() const
{
    QStyleOptionToolButton option;
    initStyleOption(&option);
    return style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &option, this);
}

void TimeFilterButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    const int arrow = ArrowWidth();

    // The panel alone, with no label and no arrow of the style's.
    QStyleOptionToolButton panel = option;
    panel.text.clear();
    panel.icon = QIcon();
    panel.features &= ~QStyleOptionToolButton::HasMenu;
    painter.drawComplexControl(QStyle::CC_ToolButton, panel);

    const QRect inside = style()
                             ->subControlRect(QStyle::CC_ToolButton, &option, QStyle::SC_ToolButton, this)
                             .adjusted(3, 3, -3, -3);
    QStyleOptionToolButton label = option;
    label.rect = inside.adjusted(0, 0, -arrow, 0);
    painter.drawControl(QStyle::CE_ToolButtonLabel, label);

    QStyleOption down = option;
    const int side = std::max(6, arrow - 4);
    down.rect
        = QRect(inside.right() - arrow + 1 + (arrow - side) / 2, inside.center().y() - side / 2, side, side);
    down.rect = QStyle::visualRect(layoutDirection(), rect(), down.rect);
    painter.drawPrimitive(QStyle::PE_IndicatorArrowDown, down);
}

QString TimeFilterButton::SpanText(std::int32_t span)
{
    for (const SpanEntry& entry : kSpans) {
        if (entry.span == span) {
            return QString::fromLatin1(entry.text);
        }
    }
    return {};
}

} // namespace tallyhawk
