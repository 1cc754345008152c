#pragma once

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tallyhawk::server
{

// The site's workers: a fixed number of threads serve the accepted connections in turn, and at most
// `maxConnections` are held (served or waiting). A connection beyond them is handed back at once on
// the accepting thread with Refusing() true, so it is answered "busy" and closed instead of waiting
// without limit.
class SitePool : public httplib::TaskQueue
{
public:
    SitePool(std::size_t workers, std::size_t maxConnections);
    ~SitePool() override;

    void enqueue(std::function<void()> job) override;
    // Ends the workers once every held connection is done with.
    void shutdown() override;

    // True on the thread that runs a job the pool had no room for.
    static bool Refusing();

private:
    void Work();

    std::size_t maxConnections_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    std::size_t running_ = 0;
    bool ending_ = false;
    std::vector<std::thread> threads_;
};

} // namespace tallyhawk::server
