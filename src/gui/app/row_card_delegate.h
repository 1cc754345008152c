#pragma once

#include "gui/controls/system_colors.h"

#include <QFont>
#include <QFontMetrics>
#include <QPen>
#include <QStyledItemDelegate>

namespace tallyhawk
{

// Draws each row of the main list as a card: in the first column the title, the line below it and the
// red note or price at the top right; in the second column the store and the category. Works over any
// model that answers ItemListModel's roles. Fonts, pens and colours are made once per font and palette,
// so drawing a row makes nothing but the texts it draws.
class RowCardDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // The columns' starting widths.
    static constexpr int kCardColumnWidth = 410;
    static constexpr int kSideColumnWidth = 100;

    explicit RowCardDelegate(QObject* parent = nullptr);

    void
    paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The height of a card for a list in `font`: the title line and two lines below it.
    static int RowHeight(const QFont& font);

private:
    // What drawing needs of the list's font and palette.
    struct Style
    {
        QFont base;
        qint64 paletteKey = -1;
        QPalette::ColorGroup group = QPalette::Active;
        QFont normal;
        QFont bold;
        QFont underlined; // the title of an item already read
        QFont boldUnderlined;
        QFontMetrics normalMetrics{QFont()};
        QFontMetrics boldMetrics{QFont()};
        int lineHeight = 0;
        SystemColors colors{QPalette()};
        QPen text;
        QPen hotLight;
        QPen darkShadow;
        QPen red;
    };

    const Style& StyleFor(const QStyleOptionViewItem& option) const;
    void PaintCard(QPainter& painter, const Style& style, const QRect& rect, const QModelIndex& index) const;
    void PaintSide(QPainter& painter, const Style& style, const QRect& rect, const QModelIndex& index) const;

    mutable Style style_;
    mutable bool styleMade_ = false;
};

} // namespace tallyhawk
