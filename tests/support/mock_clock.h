#pragma once

#include "core/common/clock.h"

#include <atomic>
#include <cstdint>

namespace tallyhawk
{

// Pins the time that Clock::Now gives for as long as it lives; Set and Advance move it. One at a time.
class MockClock : public Clock
{
public:
    explicit MockClock(std::int64_t seconds)
        : seconds_(seconds)
    {
        Install(this);
    }
    ~MockClock() override { Install(nullptr); }
    MockClock(const MockClock&) = delete;
    MockClock& operator=(const MockClock&) = delete;

    void Set(std::int64_t seconds) { seconds_.store(seconds); }
    void Advance(std::int64_t seconds) { seconds_.fetch_add(seconds); }

protected:
    std::int64_t Seconds() const override { return seconds_.load(); }

private:
    std::atomic<std::int64_t> seconds_;
};

} // namespace tallyhawk
