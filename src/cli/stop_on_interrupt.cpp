#include "cli/stop_on_interrupt.h"

namespace tallyhawk::cli
{

namespace
{

// Set from the signal handler: only a lock-free atomic store is safe there.
StopFlag interruptFlag{0};
static_assert(StopFlag::is_always_lock_free);

extern "C" void OnInterrupt(int)
{
    interruptFlag.store(1);
}

} // namespace

StopOnInterrupt::StopOnInterrupt()
{
    interruptFlag.store(0);
    struct sigaction action
    { };
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // The handler stays for one signal: a second Ctrl-C ends the process the usual way.
    action.sa_flags = SA_RESETHAND;
    ::sigaction(SIGINT, &action, &oldInterrupt_);
    ::sigaction(SIGTERM, &action, &oldTerminate_);
}

StopOnInterrupt::~StopOnInterrupt()
{
    ::sigaction(SIGINT, &oldInterrupt_, nullptr);
    ::sigaction(SIGTERM, &oldTerminate_, nullptr);
}

const StopFlag* StopOnInterrupt::flag() const
{
    return &interruptFlag;
}

bool StopOnInterrupt::interrupted() const
{
    return interruptFlag.load() != 0;
}

} // namespace tallyhawk::cli
