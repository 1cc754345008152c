#pragma once

#include "core/store/id_name_list.h"
#include "gui/views/list_rows.h"

#include <QString>

namespace tallyhawk
{

// The two texts a printed list gives one row: the heading line and the text under it.
struct RowPrintText
{
    // Each text is cut to this many characters.
    static constexpr qsizetype kMaxLength = 399;

    QString heading;
    QString body;
    // The row's store or site, for the printout's list of stores; empty when it has none.
    QString store;

    // The texts of the record behind a row; a product or purchase takes its store name from `stores`
    // (empty for an id not in it). A row without a record has two empty texts.
    static RowPrintText Of(const RowRecord& record, const IdNameList& stores);
};

} // namespace tallyhawk
