#pragma once

#include <cstdint>
#include <functional>

namespace tallyhawk
{

// The current time as the records keep it: 32-bit signed seconds since 1970 (UTC). Tests replace it to
// pin the time.
using WallClock = std::function<std::int32_t()>;

// The system's time, clamped to the 32-bit range.
std::int32_t SystemTime();

} // namespace tallyhawk
