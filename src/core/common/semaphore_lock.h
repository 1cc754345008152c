#pragma once

#include "core/common/status.h"

#include <condition_variable>
#include <mutex>

namespace tallyhawk
{

// A binary semaphore (initial count 1, maximum 1) used as a lock.
class SemaphoreLock
{
public:
    static constexpr int kWaitForever = -1;

    SemaphoreLock() = default;
    virtual ~SemaphoreLock() = default;
    SemaphoreLock(const SemaphoreLock&) = delete;
    SemaphoreLock& operator=(const SemaphoreLock&) = delete;

    // Waits up to `waitMs` milliseconds (kWaitForever: without limit). 0, or -10 when the wait timed out.
    int Acquire(int waitMs = kWaitForever);
    // 0, or -10 when the lock was not held.
    int Release();

    // Holds the lock (waiting without limit) for the life of the object.
    class Hold
    {
    public:
        explicit Hold(SemaphoreLock& lock)
            : lock_(lock)
        {
            lock_.Acquire();
        }
        ~Hold() { lock_.Release(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        SemaphoreLock& lock_;
    };

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
};

} // namespace tallyhawk
