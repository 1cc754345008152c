#include "gui/compare/page_source_view.h"

#include <QFontDatabase>
#include <QTextBlock>
#include <QUtf8StringView>

namespace tallyhawk
{

PageSourceView::PageSourceView(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    // Result pages often stand on a few very long lines: wrapped, every hit is in sight.
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setAccessibleName(QStringLiteral("Page source"));
    setPlaceholderText(QStringLiteral("Fetch the result page, or open a saved one, to see its source here."));
}

void PageSourceView::SetPage(const std::string& page)
{
    size_ = page.size();
    markCount_ = 0;
    setExtraSelections({});
    const bool utf8 = QUtf8StringView(page.data(), static_cast<qsizetype>(page.size())).isValidUtf8();
    // Every byte maps to the position of the character it belongs to: in UTF-8 a character takes one to
    // four bytes and one or two UTF-16 units, and the document keeps "\r\n" as one line end.
    positions_.assign(page.size() + 1, 0);
    int position = 0;
    std::size_t i = 0;
    while (i < page.size()) {
        const auto byte = static_cast<unsigned char>(page[i]);
        if (byte == '\n' && i > 0 && page[i - 1] == '\r') {
            positions_[i++] = position - 1;
            continue;
        }
        const std::size_t length = !utf8 || byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        for (std::size_t k = 0; k < length && i + k < page.size(); ++k) {
            positions_[i + k] = position;
        }
        position += length == 4 ? 2 : 1;
        i += length;
    }
    positions_[page.size()] = position;
    const auto size = static_cast<qsizetype>(page.size());
    setPlainText(utf8 ? QString::fromUtf8(page.data(), size) : QString::fromLatin1(page.data(), size));
}

int PageSourceView::Position(std::size_t offset) const
{
    return positions_[std::min(offset, size_)];
}

void PageSourceView::SetMarks(const std::vector<Mark>& marks)
{
    QList<QTextEdit::ExtraSelection> selections;
    selections.reserve(static_cast<qsizetype>(marks.size()));
    for (const Mark& mark : marks) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(document());
        selection.cursor.setPosition(Position(mark.offset));
        selection.cursor.setPosition(Position(mark.offset + std::max<std::size_t>(mark.length, 1)),
                                     QTextCursor::KeepAnchor);
        selection.format.setBackground(mark.background);
        selections.append(selection);
    }
    setExtraSelections(selections);
    markCount_ = marks.size();
    if (!selections.isEmpty()) {
        QTextCursor first = selections.front().cursor;
        first.setPosition(first.selectionStart());
        setTextCursor(first);
        ensureCursorVisible();
    }
}

} // namespace tallyhawk
