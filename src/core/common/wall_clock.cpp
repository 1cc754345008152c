#include "core/common/wall_clock.h"

#include <algorithm>
#include <ctime>
#include <limits>

namespace tallyhawk
{

std::int32_t SystemTime()
{
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        now, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace tallyhawk
