#include "server/site_pool.h"

namespace tallyhawk::server
{

namespace
{

thread_local bool t_refusing = false;

} // namespace

SitePool::SitePool(std::size_t workers, std::size_t maxConnections)
    : maxConnections_(maxConnections)
{
    for (std::size_t i = 0; i < workers; ++i) {
        threads_.emplace_back([this] { Work(); });
    }
}

SitePool::~SitePool()
{
    shutdown();
}

bool SitePool::Refusing()
{
    return t_refusing;
}

void SitePool::enqueue(std::function<void()> job)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (jobs_.size() + running_ < maxConnections_) {
            jobs_.push_back(std::move(job));
            wake_.notify_one();
            return;
        }
    }
    t_refusing = true;
    job();
    t_refusing = false;
}

void SitePool::shutdown()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

void SitePool::Work()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return ending_ || !jobs_.empty(); });
        if (jobs_.empty()) {
            return; // ending, and nothing left to close
        }
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        ++running_;
        lock.unlock();
        job();
        lock.lock();
        --running_;
    }
}

} // namespace tallyhawk::server
