#include "core/common/clock.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <limits>

namespace tallyhawk
{

namespace
{

std::atomic<const Clock*> installed{nullptr};

std::int32_t Clamped(std::int64_t seconds)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        seconds, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

std::int32_t Clock::Now()
{
    const Clock* clock = installed.load(std::memory_order_acquire);
    return Clamped(clock != nullptr ? clock->Seconds() : static_cast<std::int64_t>(std::time(nullptr)));
}

void Clock::Install(const Clock* clock)
{
    installed.store(clock, std::memory_order_release);
}

} // namespace tallyhawk
