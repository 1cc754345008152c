#include "core/common/semaphore_lock.h"

#include <chrono>

namespace tallyhawk
{

int SemaphoreLock::Acquire(int waitMs)
{
    std::unique_lock<std::mutex> guard(mutex_);
    auto free = [this] {
        return !held_;
    };
    if (waitMs < 0) {
        released_.wait(guard, free);
    } else if (!released_.wait_for(guard, std::chrono::milliseconds(waitMs), free)) {
        return kLockFailed;
    }
    held_ = true;
    return kOk;
}

int SemaphoreLock::Release()
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!held_) {
            return kLockFailed;
        }
        held_ = false;
    }
    released_.notify_one();
    return kOk;
}

} // namespace tallyhawk
