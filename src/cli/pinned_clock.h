#pragma once

#include "core/common/clock.h"

#include <cstdint>
#include <optional>

namespace tallyhawk::cli
{

// The time given in $TALLYHAWK_NOW (seconds since 1970), for runs that must not depend on the day
// they happen on: tests, and reproducing a report. Installed for the life of the object when the
// variable holds a whole number; otherwise the system's time stays.
class PinnedClock : public Clock
{
public:
    PinnedClock();
    ~PinnedClock() override;
    PinnedClock(const PinnedClock&) = delete;
    PinnedClock& operator=(const PinnedClock&) = delete;

    // The number the variable holds, or nothing.
    static std::optional<std::int64_t> FromEnvironment();

protected:
    std::int64_t Seconds() const override { return seconds_; }

private:
    std::int64_t seconds_ = 0;
    bool installed_ = false;
};

} // namespace tallyhawk::cli
