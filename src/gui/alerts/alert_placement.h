#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>

namespace tallyhawk
{

// Where a popup stands and how many fit on the screen.
struct AlertPlacement
{
    QPoint topLeft;
    std::int32_t maxAlerts = 1;
};

// Popups stack upward from the lower right corner of `area` (the screen's available area): the first
// 5 pixels from the right edge with its bottom 29 pixels above the bottom, each further one h - 1
// higher so the borders overlap; one that would leave the area at the top stands at its top edge.
// `openAlerts` counts this popup. maxAlerts is how many fit one above the other, minus one, but at
// least 1: 0 would lift the main window's limit and a negative value would hold its queue for ever.
AlertPlacement PlaceAlert(const QRect& area, const QSize& popup, std::int32_t openAlerts);

} // namespace tallyhawk
