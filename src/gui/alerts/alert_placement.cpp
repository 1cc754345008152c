#include "gui/alerts/alert_placement.h"

#include <algorithm>

namespace tallyhawk
{

namespace
{

constexpr int kRightMargin = 5;
constexpr int kBottomMargin = 30;

} // namespace

AlertPlacement PlaceAlert(const QRect& area, const QSize& popup, std::int32_t openAlerts)
{
    const int h = std::max(1, popup.height());
    AlertPlacement placement;
    placement.maxAlerts = std::max(1, area.height() / h - 1);
    const int x = area.x() + area.width() - popup.width() - kRightMargin;
    // In 64 bits: a huge count must not wrap round to a place low on the screen.
    const long long k = std::max(1, openAlerts);
    const long long y
        = static_cast<long long>(area.height()) - static_cast<long long>(h - 1) * k - kBottomMargin;
    placement.topLeft = QPoint(std::max(area.x(), x), area.y() + static_cast<int>(std::max(0LL, y)));
    return placement;
}

} // namespace tallyhawk
