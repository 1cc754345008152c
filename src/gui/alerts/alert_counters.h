#pragma once

#include <cstdint>
#include <vector>

namespace tallyhawk
{

class AlertPopup;

// The main window's count of open popups and of how many fit on the screen. A popup adds itself to
// `openAlerts` when it opens and takes itself off when it closes, and rewrites `maxAlerts` (0: no
// limit known yet) from its own height. Window thread only.
struct AlertCounters
{
    std::int32_t openAlerts = 0;
    std::int32_t maxAlerts = 0;
    // The popups in their places in the corner, lowest first: the n-th stands in the n-th place. One
    // that closes or is dragged away leaves, and the ones above it move down a place.
    std::vector<AlertPopup*> stacked;
};

} // namespace tallyhawk
