#pragma once

#include <cstdint>

namespace tallyhawk
{

// The one source of the current time for every time rule: arrival times, archive windows, time
// filters, schedules. It reads the system's time unless a test has installed another clock (see
// tests/support/mock_clock.h), so tests pin the time in one place.
class Clock
{
public:
    virtual ~Clock() = default;

    // Seconds since 1970 (UTC) as records keep them: 32-bit signed, clamped to that range.
    static std::int32_t Now();

protected:
    Clock() = default;

    // The time this clock gives, in seconds since 1970 (UTC).
    virtual std::int64_t Seconds() const = 0;

    // Makes `clock` the one Now reads; nullptr returns to the system's time. The caller keeps `clock`
    // alive until it is replaced.
    static void Install(const Clock* clock);
};

} // namespace tallyhawk
