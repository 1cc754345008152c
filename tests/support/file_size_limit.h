#pragma once

#include <sys/resource.h>

#include <csignal>

namespace tallyhawk::test
{

// Lowers the process's file size limit for one scope, with SIGXFSZ ignored: a write that crosses the
// limit then writes what fits (a short count) and the next one fails with EFBIG, as a full disk would
// make it fail half-way.
class ScopedFileSizeLimit
{
public:
    explicit ScopedFileSizeLimit(rlim_t bytes)
    {
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        if (::getrlimit(RLIMIT_FSIZE, &old_) != 0) {
            return;
        }
        rlimit lowered = old_;
        lowered.rlim_cur = bytes;
        active_ = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~ScopedFileSizeLimit()
    {
        if (active_) {
            ::setrlimit(RLIMIT_FSIZE, &old_);
        }
        std::signal(SIGXFSZ, oldHandler_);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

    bool active() const { return active_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = SIG_DFL;
    bool active_ = false;
};

} // namespace tallyhawk::test
