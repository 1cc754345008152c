#pragma once

#include "gui/controls/record_text.h"
#include "gui/views/list_rows.h"

#include <QString>

#include <cstdint>
#include <string_view>

namespace tallyhawk
{

// The five texts of a row card: three in the first column, two in the second.
enum class CardPiece
{
    Title, // top left: the record's name
    Detail, // below the title: description and date, the offer's text, the product's date and notes
    Corner, // top right of the first column, in red: the note, the price, quantity and price
    Side, // second column, first line: the store, site or user
    SideDetail, // second column, second line: the category
};

// One piece of a row's card, made when the row is drawn. A product's store and category are looked up
// in `stores` and `categories`.
QString
CardText(const RowRecord& record, CardPiece piece, const IdNameList& stores, const IdNameList& categories);

// A record time as the local day, with the weekday, in the user's short date format with the whole
// year ("Mon 1/31/2005" in the United States).
QString CardDate(std::int32_t seconds);

} // namespace tallyhawk
