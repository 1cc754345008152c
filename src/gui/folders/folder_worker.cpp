#include "gui/folders/folder_worker.h"

#include <utility>

namespace tallyhawk
{

FolderWorker::FolderWorker()
    : thread_([this] { Run(); })
{ }

FolderWorker::~FolderWorker()
{
    Stop();
}

void FolderWorker::Post(std::function<void()> task)
{
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void FolderWorker::Stop()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void FolderWorker::Run()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty()) {
                return;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

} // namespace tallyhawk
