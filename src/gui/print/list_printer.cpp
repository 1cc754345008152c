#include "gui/print/list_printer.h"

#include "core/common/clock.h"
#include "gui/print/list_print_job.h"
#include "gui/views/item_list_model.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <utility>

namespace tallyhawk
{

ListPrinter::ListPrinter(const ItemListModel& model, IdNameList stores, PrintScope scope)
    : model_(model)
    , stores_(std::move(stores))
    , scope_(std::move(scope))
{ }

int ListPrinter::Print(QWidget* owner, const QString& documentName)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentName);
    QPrintDialog dialog(&printer, owner);
    // The whole list or nothing. Printing to a file stays on: without a printer it is the way to paper.
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    if (dialog.exec() != QDialog::Accepted) {
        return 0;
    }
    // The layout's gaps and lines are whole device pixels; in screen pixels they keep the size they
    // were drawn for instead of shrinking to slivers at 1200 dots per inch. Text and lines stay vectors.
    printer.setResolution(ListPrintJob::kScreenDpi);
    return PrintTo(printer, documentName);
}

int ListPrinter::PrintTo(QPrinter& printer, const QString& documentName)
{
    // Taken once, so every page shows the same time.
    const ListPrintJob job(Rows(), documentName, Clock::Now(), scope_);
    // A job without pages would leave an empty document or a blank sheet; nothing is better.
    if (job.empty()) {
        return 0;
    }
    printer.setDocName(documentName);
    QPainter painter;
    if (!painter.begin(&printer)) {
        return 0;
    }
    bool pageFailed = false;
    job.Paint(painter, [&] {
        pageFailed = !printer.newPage();
        return !pageFailed;
    });
    // A job cut short by the printer is not reported as printed.
    const bool ended = painter.end();
    return ended && !pageFailed ? 1 : 0;
}

QImage ListPrinter::FirstPage(const QSize& size, int dpi, const QString& documentName) const
{
    const ListPrintJob job(Rows(), documentName, Clock::Now(), scope_);
    if (job.empty() || size.isEmpty() || dpi < 1) {
        return {};
    }
    QImage page(size, QImage::Format_RGB32);
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    page.setDotsPerMeterX(dotsPerMeter);
    page.setDotsPerMeterY(dotsPerMeter);
    page.fill(Qt::white);
    QPainter painter(&page);
    // Lines crisp on the pixel grid, as on paper; text smoothed.
    painter.setRenderHint(QPainter::TextAntialiasing);
    job.Paint(painter, [] { return false; });
    return page;
}

std::vector<RowPrintText> ListPrinter::Rows() const
{
    std::vector<RowPrintText> rows;
    const int count = model_.rowCount();
    rows.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int row = 0; row < count; ++row) {
        rows.push_back(RowPrintText::Of(model_.record(row), stores_));
    }
    return rows;
}

} // namespace tallyhawk
