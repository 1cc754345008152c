#include "gui/app/row_card_delegate.h"

#include "gui/views/item_list_model.h"
#include "gui/views/list_rows.h"

#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace tallyhawk
{
namespace
{

// Margins of the card, in pixels: the text's left edge, the gap between title and corner, the
// right edge of the texts, the top of the first line, and the gap above the second one.
constexpr int kLeft = 4;
constexpr int kCornerGap = 6;
constexpr int kRight = 4;
constexpr int kSideLeft = 2;
constexpr int kTop = 2;
constexpr int kSecondLineGap = 3;
// The mark of a hot item: a red bar along the card's left edge.
constexpr int kHotBarWidth = 3;

int DetailTop(int lineHeight)
{
    return kTop + lineHeight + kSecondLineGap;
}

// One line, vertically centred in `box`; cut with an ellipsis when `elide`, else clipped.
void DrawLine(QPainter& painter,
              const QRect& box,
              const QString& text,
              Qt::Alignment alignment,
              const QFontMetrics& metrics,
              bool elide)
{
    if (box.width() <= 0 || text.isEmpty()) {
        return;
    }
    const int flags = static_cast<int>(alignment | Qt::AlignVCenter) | Qt::TextSingleLine;
    if (elide && metrics.horizontalAdvance(text) > box.width()) {
        painter.drawText(box, flags, metrics.elidedText(text, Qt::ElideRight, box.width()));
    } else {
        painter.drawText(box, flags, text);
    }
}

// Word-wrapped from the top of `box`, as many lines as fit; the last one ends with an ellipsis when
// the text goes on.
void DrawWrapped(QPainter& painter,
                 const QRect& box,
                 const QString& text,
                 const QFont& font,
                 const QFontMetrics& metrics,
                 int lineHeight)
{
    if (box.width() < metrics.averageCharWidth() || box.height() < lineHeight || text.isEmpty()) {
        return;
    }
    if (metrics.horizontalAdvance(text) <= box.width() && !text.contains(QLatin1Char('\n'))) {
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        return;
    }
    QString lines = text;
    if (lines.contains(QLatin1Char('\n'))) {
        // Line breaks in a record's text stay breaks, as the drawing of several lines shows them.
        lines.remove(QLatin1Char('\r'));
        lines.replace(QLatin1Char('\n'), QChar::LineSeparator);
    }
    const int maxLines = std::max(1, box.height() / lineHeight);
    QTextLayout layout(lines, font, painter.device());
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrap);
    layout.beginLayout();
    int count = 0;
    for (; count < maxLines; ++count) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(box.width());
        line.setPosition(QPointF(0, count * lineHeight));
    }
    layout.endLayout();
    if (count == 0) {
        return;
    }
    const QTextLine last = layout.lineAt(count - 1);
    const bool cut = last.textStart() + last.textLength() < lines.size();
    for (int i = 0; i < (cut ? count - 1 : count); ++i) {
        layout.lineAt(i).draw(&painter, box.topLeft());
    }
    if (cut) {
        // The rest on one line, cut at its end.
        QString rest = lines.mid(last.textStart());
        rest.replace(QChar::LineSeparator, QLatin1Char(' '));
        const QRect lastBox(box.left(), box.top() + static_cast<int>(last.y()), box.width(), lineHeight);
        DrawLine(painter, lastBox, rest, Qt::AlignLeft, metrics, true);
    }
}

} // namespace

RowCardDelegate::RowCardDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{ }

int RowCardDelegate::RowHeight(const QFont& font)
{
    QFont bold = font;
    bold.setBold(true);
    const int lineHeight = std::max(QFontMetrics(font).height(), QFontMetrics(bold).height());
    // Two lines below the title, and a margin under them as above the title.
    return DetailTop(lineHeight) + 2 * lineHeight + kSecondLineGap;
}

QSize RowCardDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return {index.column() == 0 ? kCardColumnWidth : kSideColumnWidth, RowHeight(option.font)};
}

const RowCardDelegate::Style& RowCardDelegate::StyleFor(const QStyleOptionViewItem& option) const
{
    const QPalette::ColorGroup group
        = option.state.testFlag(QStyle::State_Enabled) ? QPalette::Active : QPalette::Disabled;
    const bool fontChanged = !styleMade_ || !(option.font == style_.base);
    const bool paletteChanged
        = !styleMade_ || option.palette.cacheKey() != style_.paletteKey || group != style_.group;
    if (fontChanged) {
        style_.base = option.font;
        style_.normal = option.font;
        style_.bold = option.font;
        style_.bold.setBold(true);
        style_.underlined = option.font;
        style_.underlined.setUnderline(true);
        style_.boldUnderlined = style_.bold;
        style_.boldUnderlined.setUnderline(true);
        style_.normalMetrics = QFontMetrics(style_.normal);
        style_.boldMetrics = QFontMetrics(style_.bold);
        style_.lineHeight = std::max(style_.normalMetrics.height(), style_.boldMetrics.height());
    }
    if (paletteChanged) {
        style_.paletteKey = option.palette.cacheKey();
        style_.group = group;
        style_.colors = SystemColors(option.palette, group);
        style_.text = QPen(style_.colors.windowText());
        style_.hotLight = QPen(style_.colors.hotLight());
        style_.darkShadow = QPen(style_.colors.darkShadow());
        style_.red = QPen(style_.colors.red());
    }
    styleMade_ = true;
    return style_;
}

void RowCardDelegate::paint(QPainter* painter,
                            const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    const Style& style = StyleFor(option);
    const QRect& rect = option.rect;
    // The selection shows in the pale highlight, also without focus, so the row's own colours stay.
    const bool highlighted = option.state.testFlag(QStyle::State_Selected);
    const SystemColors& colors = style.colors;
    painter->fillRect(rect, highlighted ? colors.gradientInactiveCaption() : colors.window());

    const QPen pen = painter->pen();
    const QFont font = painter->font();
    if (index.column() == 0) {
        PaintCard(*painter, style, rect, index);
    } else {
        PaintSide(*painter, style, rect, index);
    }
    painter->setPen(pen);
    painter->setFont(font);

    // The card's frame: a line under the row, and one at its right end.
    const QColor line = highlighted ? colors.highlight() : colors.gradientInactiveCaption();
    painter->fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), line);
    if (option.viewItemPosition == QStyleOptionViewItem::End
        || option.viewItemPosition == QStyleOptionViewItem::OnlyOne) {
        painter->fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), line);
    }
}

void RowCardDelegate::PaintCard(QPainter& painter,
                                const Style& style,
                                const QRect& rect,
                                const QModelIndex& index) const
{
    const auto kind = static_cast<RowKind>(index.data(ItemListModel::RowKindRole).toInt());
    const bool item = kind == RowKind::Item;
    const bool unread = item && index.data(ItemListModel::UnreadRole).toBool();
    const bool hot = item && index.data(ItemListModel::HotRole).toBool();
    const int h = style.lineHeight;
    const int right = rect.right() + 1 - kRight;

    if (hot) {
        painter.fillRect(
            QRect(rect.left(), rect.top(), std::min(kHotBarWidth, rect.width()), rect.height() - 1),
            style.colors.red());
    }
    const int room = right - rect.left() - kLeft;
    if (room <= 0) {
        return;
    }

    // The corner takes the room its text needs, up to half the column; the title has the rest.
    const QString corner = index.data(ItemListModel::CornerRole).toString();
    int titleRight = right;
    if (!corner.trimmed().isEmpty()) {
        const int width = std::min(style.boldMetrics.horizontalAdvance(corner), room / 2);
        const QRect box(right - width, rect.top() + kTop, width, h);
        painter.setFont(style.bold);
        painter.setPen(style.red);
        DrawLine(painter, box, corner, Qt::AlignRight, style.boldMetrics, false);
        titleRight = box.left() - kCornerGap;
    }

    // Unread items stand out by weight and the link colour; hot ones are red whether read or not.
    const bool boldTitle = !item || unread;
    painter.setFont(boldTitle ? style.boldUnderlined : style.underlined);
    painter.setPen(hot ? style.red : (unread ? style.hotLight : style.text));
    const QRect titleBox(rect.left() + kLeft, rect.top() + kTop, titleRight - rect.left() - kLeft, h);
    DrawLine(painter,
             titleBox,
             index.data(Qt::DisplayRole).toString(),
             Qt::AlignLeft,
             boldTitle ? style.boldMetrics : style.normalMetrics,
             true);

    painter.setFont(style.normal);
    painter.setPen(style.text);
    const int detailTop = rect.top() + DetailTop(h);
    QRect detailBox(rect.left() + kLeft, detailTop, right - rect.left() - kLeft, rect.bottom() - detailTop);
    QString detail = index.data(ItemListModel::DetailRole).toString();
    // The detail's last line (the date of an item, the schedule of a product) keeps the card's bottom
    // line, however long the text above it.
    if (const qsizetype lastBreak = detail.lastIndexOf(QLatin1Char('\n'));
        lastBreak >= 0 && detailBox.height() >= 2 * h) {
        const int bottomLine = detailTop + (detailBox.height() / h - 1) * h;
        DrawLine(painter,
                 QRect(detailBox.left(), bottomLine, detailBox.width(), h),
                 detail.mid(lastBreak + 1),
                 Qt::AlignLeft,
                 style.normalMetrics,
                 true);
        detailBox.setBottom(bottomLine - 1);
        detail.truncate(lastBreak);
    }
    DrawWrapped(painter, detailBox, detail, style.normal, style.normalMetrics, h);
}

void RowCardDelegate::PaintSide(QPainter& painter,
                                const Style& style,
                                const QRect& rect,
                                const QModelIndex& index) const
{
    const int h = style.lineHeight;
    const int left = rect.left() + kSideLeft;
    const int width = rect.right() + 1 - kRight - left;
    painter.setFont(style.bold);
    painter.setPen(style.darkShadow);
    DrawLine(painter,
             QRect(left, rect.top() + kTop, width, h),
             index.data(Qt::DisplayRole).toString(),
             Qt::AlignLeft,
             style.boldMetrics,
             false);

    painter.setFont(style.normal);
    painter.setPen(style.text);
    const int detailTop = rect.top() + DetailTop(h);
    DrawWrapped(painter,
                QRect(left, detailTop, width, rect.bottom() - detailTop),
                index.data(ItemListModel::DetailRole).toString(),
                style.normal,
                style.normalMetrics,
                h);
}

} // namespace tallyhawk
