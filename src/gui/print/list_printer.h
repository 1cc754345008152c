#pragma once

#include "core/store/id_name_list.h"
#include "gui/print/list_print_job.h"
#include "gui/print/row_print_text.h"

#include <QImage>
#include <QString>

#include <vector>

class QPrinter;
class QSize;
class QWidget;

namespace tallyhawk
{

class ItemListModel;

// Prints the rows of the main list as they stand: a title band and a footer on every page, one block
// of text per row. The main window makes one for each print command.
class ListPrinter
{
public:
    // `stores`: the shopping database's store list, for the store names of products and purchases;
    // `scope`: what the printout says the list is.
    ListPrinter(const ItemListModel& model, IdNameList stores, PrintScope scope = {});

    // Asks for the printer with the print dialog, then prints. 1 when a job was printed; 0 for a
    // cancelled dialog, an empty list or a printer that could not be started.
    int Print(QWidget* owner, const QString& documentName);
    // Prints on `printer` as set up. An empty list starts no job at all: no pages, no file.
    int PrintTo(QPrinter& printer, const QString& documentName);
    // The first page as it would print on a page of `size` pixels at `dpi` dots per inch, on white; a
    // null image for an empty list.
    QImage FirstPage(const QSize& size, int dpi, const QString& documentName) const;

private:
    // The texts of every row, read at once so the job never looks at the model while it prints.
    std::vector<RowPrintText> Rows() const;

    const ItemListModel& model_;
    IdNameList stores_;
    PrintScope scope_;
};

} // namespace tallyhawk
