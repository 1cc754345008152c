#pragma once

#include "core/net/http_fetcher.h"

#include <csignal>

namespace tallyhawk::cli
{

// While it lives, Ctrl-C (SIGINT) and SIGTERM set a stop flag instead of ending the process, so a
// long network call ends cleanly with its cancelled status. A second signal ends the process as
// usual. One at a time.
class StopOnInterrupt
{
public:
    StopOnInterrupt();
    ~StopOnInterrupt();
    StopOnInterrupt(const StopOnInterrupt&) = delete;
    StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;

    const StopFlag* flag() const;
    bool interrupted() const;

private:
    struct sigaction oldInterrupt_
    { };
    struct sigaction oldTerminate_
    { };
};

} // namespace tallyhawk::cli
