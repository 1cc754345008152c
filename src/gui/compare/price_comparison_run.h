#pragma once

#include <QString>

#include <cstdint>

class QWidget;

namespace tallyhawk
{

class WebSpider;

// A price comparison from start to end: "Compare Prices" for the item name and category, then
// "Comparing Prices" for the run. The id of the comparison saved on Done, or 0 when the user cancelled,
// nothing was found, or saving failed. The main window passes an empty name and no category; the
// product editor its product's name and category name.
std::int32_t RunPriceComparison(QWidget* parent,
                                WebSpider& spider,
                                const QString& itemName,
                                const QString& categoryName = QString());

} // namespace tallyhawk
