#pragma once

#include <cstdint>

namespace tallyhawk
{

// The main window's count of open popups and of how many fit on the screen. A popup adds itself to
// `openAlerts` when it opens and takes itself off when it closes, and rewrites `maxAlerts` (0: no
// limit known yet) from its own height. Window thread only.
struct AlertCounters
{
    std::int32_t openAlerts = 0;
    std::int32_t maxAlerts = 0;
};

} // namespace tallyhawk
