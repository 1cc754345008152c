#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tallyhawk
{

// The main window's one thread for file work: loads, writes and the start's upkeep run here one at a
// time, in the order they were posted, so that the window thread never waits on a file or on another
// program's lock. Results go back to the window by queued calls that the tasks make themselves.
class FolderWorker
{
public:
    FolderWorker();
    ~FolderWorker();
    FolderWorker(const FolderWorker&) = delete;
    FolderWorker& operator=(const FolderWorker&) = delete;

    // Queues `task`; after Stop it is dropped.
    void Post(std::function<void()> task);
    // Runs what was posted (writes the user made must land), then ends the thread. Runs once.
    void Stop();

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace tallyhawk
