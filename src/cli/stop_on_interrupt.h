#pragma once

#include <csignal>
#include <stop_token>
#include <thread>

namespace tallyhawk::cli
{

// While it lives, Ctrl-C (SIGINT) and SIGTERM request a stop instead of ending the process, so a long
// network call ends cleanly with its cancelled status. A second signal ends the process as usual.
// One at a time.
class StopOnInterrupt
{
public:
    StopOnInterrupt();
    ~StopOnInterrupt();
    StopOnInterrupt(const StopOnInterrupt&) = delete;
    StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;

    // The token that the signals stop.
    std::stop_token flag() const { return source_.get_token(); }
    bool interrupted() const { return source_.stop_requested(); }

private:
    std::stop_source source_;
    // Turns the signal handler's byte on the pipe into the stop request, which a handler may not make.
    std::jthread watcher_;
    struct sigaction oldInterrupt_
    { };
    struct sigaction oldTerminate_
    { };
};

} // namespace tallyhawk::cli
