#pragma once

#include <QString>

#include <cstdint>

class QWidget;

namespace tallyhawk
{

class WebSpider;

// A price comparison from start to end: "Compare Prices" for the item name and category, then
// "Comparing Prices" for the run. The id of the comparison saved on Done, or 0 when the user cancelled,
// nothing was found, or saving failed. The main window passes an empty name and category 0; the
// product editor its product's name.
std::int32_t
RunPriceComparison(QWidget* parent, WebSpider& spider, const QString& itemName, std::int32_t categoryId = 0);

} // namespace tallyhawk
