#include "gui/alerts/text_elision.h"

#include <QFontMetrics>
#include <QStringList>
#include <QTextLayout>

namespace tallyhawk
{

namespace
{

const QString kEllipsis = QStringLiteral("\u2026");

} // namespace

QString ElideAtWord(const QString& text, const QFont& font, int width)
{
    const QFontMetrics metrics(font);
    if (metrics.horizontalAdvance(text) <= width) {
        return text;
    }
    QString kept = text;
    for (qsizetype space = kept.lastIndexOf(QLatin1Char(' ')); space > 0;
         space = kept.lastIndexOf(QLatin1Char(' '))) {
        kept = kept.left(space).trimmed();
        if (!kept.isEmpty() && metrics.horizontalAdvance(kept + kEllipsis) <= width) {
            return kept + kEllipsis;
        }
    }
    return metrics.elidedText(text, Qt::ElideRight, width);
}

QString ElideToLines(const QString& text, const QFont& font, int width, int lines)
{
    if (lines < 1 || width < 1) {
        return {};
    }
    // Line breaks of the text itself give way to the wrapping.
    const QString flat = text.simplified();
    QTextLayout layout(flat, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList shown;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (shown.size() + 1 == lines) {
            // The last line takes the rest of the text, cut to fit.
            const QString rest = flat.mid(line.textStart());
            shown << QFontMetrics(font).elidedText(rest, Qt::ElideRight, width);
            break;
        }
        shown << flat.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return shown.join(QLatin1Char('\n'));
}

} // namespace tallyhawk
