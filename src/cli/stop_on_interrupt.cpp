#include "cli/stop_on_interrupt.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace tallyhawk::cli
{

namespace
{

// The pipe the handler writes to: write() is safe in a signal handler, a stop request is not.
int signalPipe[2] = {-1, -1};

extern "C" void OnInterrupt(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

constexpr int kWatchSliceMs = 100;

} // namespace

StopOnInterrupt::StopOnInterrupt()
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
        return; // without the pipe, the signals end the process as usual
    }
    watcher_ = std::jthread([this](std::stop_token finish) {
        pollfd wait{signalPipe[0], POLLIN, 0};
        while (!finish.stop_requested()) {
            if (::poll(&wait, 1, kWatchSliceMs) > 0) {
                source_.request_stop();
                return;
            }
        }
    });
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
    if (signalPipe[0] < 0) {
        return;
    }
    ::sigaction(SIGINT, &oldInterrupt_, nullptr);
    ::sigaction(SIGTERM, &oldTerminate_, nullptr);
    watcher_.request_stop();
    if (watcher_.joinable()) {
        watcher_.join();
    }
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

} // namespace tallyhawk::cli
