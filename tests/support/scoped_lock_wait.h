#pragma once

#include "core/platform/record_file.h"

#include <chrono>

namespace tallyhawk::test
{

// How long record files wait for another process's lock, for one scope; the wait before is back at the
// end. Tests that hold a file for good keep the wait short, so they stay fast.
class ScopedLockWait
{
public:
    explicit ScopedLockWait(std::chrono::milliseconds wait)
        : old_(RecordFile::lockWait())
    {
        RecordFile::SetLockWait(wait);
    }
    ~ScopedLockWait() { RecordFile::SetLockWait(old_); }
    ScopedLockWait(const ScopedLockWait&) = delete;
    ScopedLockWait& operator=(const ScopedLockWait&) = delete;

private:
    std::chrono::milliseconds old_;
};

} // namespace tallyhawk::test
