#pragma once

#include "gui/print/row_print_text.h"

#include <QFont>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class QPaintDevice;
class QPainter;

namespace tallyhawk
{

// What a printout says of the list under its title: the folder, the time filter and its span. The
// stores are those of the rows printed.
struct PrintScope
{
    QString folder; // "Coupons & Deals"; none: nothing is said
    QString timeFilter; // "Last 7 Days"
    std::int32_t from = 0; // the span's first and last second; 0: not said
    std::int32_t to = 0;
};

// One print of a list: on every page a title band with the document name and the list's scope, and a
// footer band with the page number and the print time, and between them one block of text per row. Heights
// are given in screen pixels (96 per inch) and scaled to the device, so a page looks the same on any printer.
class ListPrintJob
{
public:
    // Heights in screen pixels, as the fonts are asked for: the cell height of one line.
    static constexpr int kTitleHeight = 12;
    static constexpr int kRowHeight = 12;
    static constexpr int kFooterHeight = 10;
    static constexpr int kScreenDpi = 96;

    ListPrintJob(std::vector<RowPrintText> rows,
                 QString documentName,
                 std::int32_t printTime,
                 const PrintScope& scope = {});

    bool empty() const { return rows_.empty(); }

    // Paints the rows onto `painter`, which is active on its device's first page. `nextPage` starts each
    // further page and may stop the job by returning false. The number of pages painted: 0 for no rows.
    int Paint(QPainter& painter, const std::function<bool()>& nextPage) const;

    // The print time as the footer shows it, local and in ISO 8601: "2024-03-05 14:07:09".
    static QString TimeText(std::int32_t seconds);
    // The line under the title: "Coupons & Deals - Last 7 Days (2024-02-28 to 2024-03-05) - Stores: A,
    // B"; empty for a scope without a folder.
    static QString ScopeText(const PrintScope& scope, const std::vector<RowPrintText>& rows);
    // The face every text is printed in: a sans-serif one, Arial where it is installed.
    static QFont Face();

private:
    struct Fonts;

    static Fonts MakeFonts(const QPaintDevice& device);
    // Paints the bands of page `page` and gives the y where its rows start.
    int PaintBands(QPainter& painter, const Fonts& fonts, int page) const;
    void PaintBlock(QPainter& painter, const Fonts& fonts, const RowPrintText& row, int y) const;

    std::vector<RowPrintText> rows_;
    QString documentName_;
    QString timeText_;
    QString scopeText_;
};

} // namespace tallyhawk
