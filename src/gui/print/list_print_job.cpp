#include "gui/print/list_print_job.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace tallyhawk
{
namespace
{

const QChar kEllipsis(0x2026);

// Screen pixels to device pixels, rounded.
int Scaled(int pixels, int dpi)
{
    return std::max(1, (pixels * dpi + ListPrintJob::kScreenDpi / 2) / ListPrintJob::kScreenDpi);
}

// A font whose line (ascent plus descent) is `height` device pixels high, as printer fonts are asked
// for by cell height rather than by the size of their letters.
QFont FontOfHeight(int height, bool bold, const QPaintDevice& device)
{
    QFont font = ListPrintJob::Face();
    font.setBold(bold);
    font.setPixelSize(height);
    const qreal line = QFontMetricsF(font, &device).height();
    if (line > height) {
        font.setPixelSize(std::max(1, static_cast<int>(std::floor(height * height / line))));
    }
    return font;
}

QString OneLine(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar& c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar::LineSeparator) {
            c = QLatin1Char(' ');
        }
    }
    return text;
}

// The longest run of whole words of `text` that fits `width` with an ellipsis after it; a text whose
// first word is already too long is cut inside that word.
QString WordElided(const QString& text, const QFontMetricsF& metrics, qreal width)
{
    const QString line = OneLine(text).trimmed();
    QString best;
    for (qsizetype space = line.indexOf(QLatin1Char(' ')); space > 0;
         space = line.indexOf(QLatin1Char(' '), space + 1)) {
        const QString candidate = line.left(space).trimmed() + kEllipsis;
        if (metrics.horizontalAdvance(candidate) > width) {
            break;
        }
        best = candidate;
    }
    if (best.isEmpty()) {
        return metrics.elidedText(line + kEllipsis, Qt::ElideRight, width);
    }
    return best;
}

// The lines `text` wraps into at `width`, at most `maxLines`; when the text goes on beyond them the
// last line ends with an ellipsis after its last word that fits.
QStringList
WrappedLines(const QString& text, const QFont& font, const QPaintDevice& device, qreal width, int maxLines)
{
    QString laid = text;
    laid.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    laid.replace(QLatin1Char('\r'), QChar::LineSeparator);
    laid.replace(QLatin1Char('\n'), QChar::LineSeparator);

    QTextLayout layout(laid, font, &device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    qsizetype lastStart = 0;
    qsizetype consumed = 0;
    layout.beginLayout();
    while (lines.size() < maxLines) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        lastStart = line.textStart();
        consumed = line.textStart() + line.textLength();
        lines.append(laid.mid(lastStart, line.textLength()).remove(QChar::LineSeparator));
    }
    layout.endLayout();
    if (!lines.isEmpty() && !laid.mid(consumed).trimmed().isEmpty()) {
        lines.back() = WordElided(laid.mid(lastStart), QFontMetricsF(font, &device), width);
    }
    return lines;
}

} // namespace

struct ListPrintJob::Fonts
{
    int width; // W: the page's width in device pixels
    int height; // H
    int title; // L: the title band's line
    int row; // R
    int footer; // F
    int pen; // one screen pixel
    QFont titleLine; // the title band's face at twice its height
    QFont rowText;
    QFont rowHeading;
    QFont footerText;
};

ListPrintJob::ListPrintJob(std::vector<RowPrintText> rows,
                           QString documentName,
                           std::int32_t printTime,
                           const PrintScope& scope)
    : rows_(std::move(rows))
    , documentName_(std::move(documentName))
    , timeText_(TimeText(printTime))
    , scopeText_(ScopeText(scope, rows_))
{ }

QString ListPrintJob::TimeText(std::int32_t seconds)
{
    // A date no reader can take for another, whatever the country.
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString ListPrintJob::ScopeText(const PrintScope& scope, const std::vector<RowPrintText>& rows)
{
    if (scope.folder.isEmpty()) {
        return {};
    }
    const auto day = [](std::int32_t seconds) {
        return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd"));
    };
    QStringList parts{scope.folder};
    if (!scope.timeFilter.isEmpty() && scope.from > 0 && scope.to >= scope.from) {
        parts << QStringLiteral("%1 (%2 to %3)").arg(scope.timeFilter, day(scope.from), day(scope.to));
    }
    QStringList stores;
    for (const RowPrintText& row : rows) {
        if (!row.store.isEmpty() && !stores.contains(row.store)) {
            stores << row.store;
        }
    }
    stores.sort(Qt::CaseInsensitive);
    parts << (stores.isEmpty() ? QStringLiteral("Stores: none named")
                               : QStringLiteral("Stores: ") + stores.join(QStringLiteral(", ")));
    return parts.join(QStringLiteral(" - "));
}

QFont ListPrintJob::Face()
{
    // Where Arial is not installed the font matching takes the desktop's sans-serif face.
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setFamilies(
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Sans Serif")});
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

ListPrintJob::Fonts ListPrintJob::MakeFonts(const QPaintDevice& device)
{
    const int dpi = device.logicalDpiY();
    Fonts fonts{device.width(),
                device.height(),
                Scaled(kTitleHeight, dpi),
                Scaled(kRowHeight, dpi),
                Scaled(kFooterHeight, dpi),
                Scaled(1, dpi),
                {},
                {},
                {},
                {}};
    fonts.titleLine = FontOfHeight(2 * fonts.title, false, device);
    fonts.rowText = FontOfHeight(fonts.row, false, device);
    fonts.rowHeading = FontOfHeight(fonts.row, true, device);
    fonts.footerText = FontOfHeight(fonts.footer, false, device);
    return fonts;
}

int ListPrintJob::Paint(QPainter& painter, const std::function<bool()>& nextPage) const
{
    if (rows_.empty() || painter.device() == nullptr) {
        return 0;
    }
    const Fonts fonts = MakeFonts(*painter.device());
    // A block must end above this line, clear of the footer band.
    const int limit = fonts.height - (fonts.footer + 4) - 10;
    const int block = 5 * fonts.row;

    int pages = 0;
    int y = 0;
    int rowsOnPage = 0;
    bool startPage = true;
    for (std::size_t row = 0; row < rows_.size();) {
        if (startPage) {
            if (pages > 0 && !nextPage()) {
                return pages;
            }
            ++pages;
            y = PaintBands(painter, fonts, pages);
            rowsOnPage = 0;
            startPage = false;
        }
        // A block that would reach into the footer goes to the next page, unless this page has none yet:
        // then it is printed here, cut off above the footer.
        if (y + block > limit && rowsOnPage > 0) {
            startPage = true;
            continue;
        }
        PaintBlock(painter, fonts, rows_[row], y);
        y += block + 6;
        ++rowsOnPage;
        ++row;
    }
    return pages;
}

int ListPrintJob::PaintBands(QPainter& painter, const Fonts& fonts, int page) const
{
    const int w = fonts.width;
    const int h = fonts.height;
    painter.save();
    painter.setClipping(false);
    QPen pen(Qt::black, fonts.pen);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    // Frames drawn inside their boxes, so a thick printer pen stays on the page.
    const auto frame = [&](const QRect& box) {
        const qreal inset = fonts.pen / 2.0;
        painter.drawRect(QRectF(box).adjusted(inset, inset, -inset, -inset));
    };

    const int l = fonts.title;
    frame(QRect(0, 0, w, 4 * l + 1));
    painter.setFont(fonts.titleLine);
    if (scopeText_.isEmpty()) {
        painter.drawText(QRect(0, l, w, 2 * l), Qt::AlignCenter | Qt::TextSingleLine, documentName_);
    } else {
        // The name a little higher, and under it what the list holds, in the footer's size.
        painter.drawText(QRect(0, l / 3, w, 2 * l), Qt::AlignCenter | Qt::TextSingleLine, documentName_);
        painter.setFont(fonts.footerText);
        const QFontMetricsF metrics(fonts.footerText, painter.device());
        const int room = w - 8;
        painter.drawText(QRect(4, 2 * l + l / 2, room, l),
                         Qt::AlignCenter | Qt::TextSingleLine,
                         metrics.elidedText(scopeText_, Qt::ElideRight, room));
    }

    const int footerTop = h - fonts.footer - 4;
    frame(QRect(0, footerTop, w, h - footerTop));
    painter.setFont(fonts.footerText);
    painter.drawText(QRect(2, footerTop, w / 2 - 2, h - footerTop),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     QStringLiteral("Page : %1").arg(page));
    painter.drawText(QRect(w / 2, footerTop, w - 3 - w / 2, h - footerTop),
                     Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                     timeText_);
    painter.restore();
    return 4 * l + 20;
}

void ListPrintJob::PaintBlock(QPainter& painter, const Fonts& fonts, const RowPrintText& row, int y) const
{
    const int r = fonts.row;
    const int textWidth = fonts.width - 14 - 4;
    painter.save();
    painter.setClipRect(QRect(0, 0, fonts.width, fonts.height - fonts.footer - 4));
    painter.setPen(QPen(Qt::black, fonts.pen));

    // Drawn as given: an ampersand is a character here, never a mnemonic.
    painter.setFont(fonts.rowHeading);
    const QFontMetricsF headingMetrics(fonts.rowHeading, painter.device());
    painter.drawText(QRect(4, y, textWidth, r),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     headingMetrics.elidedText(OneLine(row.heading), Qt::ElideRight, textWidth));

    painter.setFont(fonts.rowText);
    const QFontMetricsF metrics(fonts.rowText, painter.device());
    const int bodyTop = y + r + r / 2;
    const int lineHeight = std::max(1, static_cast<int>(std::ceil(metrics.height())));
    const int maxLines = std::max(1, 3 * r / lineHeight);
    const QStringList lines = WrappedLines(row.body, fonts.rowText, *painter.device(), textWidth, maxLines);
    painter.setClipRect(QRect(4, bodyTop, textWidth, 3 * r), Qt::IntersectClip);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        painter.drawText(QRect(4, bodyTop + static_cast<int>(i) * lineHeight, textWidth, lineHeight),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         lines[i]);
    }
    painter.restore();

    const int separator = y + 5 * r + 3;
    painter.save();
    painter.setPen(QPen(Qt::black, fonts.pen));
    painter.drawLine(QPoint(0, separator), QPoint(fonts.width, separator));
    painter.restore();
}

} // namespace tallyhawk
