#include "gui/folders/folder_runner.h"

#include "gui/folders/folder_controller.h"

#include <memory>
#include <utility>

namespace tallyhawk
{

FolderRunner::FolderRunner(Show show, QObject* parent)
    : QObject(parent)
    , show_(std::move(show))
{ }

FolderRunner::~FolderRunner()
{
    Stop();
}

void FolderRunner::Load(FolderController& folder, FolderQuery query, std::function<void()> shown)
{
    if (pending_ && pending_->query.rebuildTree) {
        query.rebuildTree = true;
    }
    Post(Pending{&folder, std::move(query), std::move(shown)});
}

void FolderRunner::Drop()
{
    ++generation_;
    pending_.reset();
}

void FolderRunner::Post(Pending pending)
{
    const std::uint64_t generation = ++generation_;
    Behind([this, folder = pending.folder, query = pending.query, generation] {
        auto load = std::make_shared<FolderLoad>(folder->Load(query));
        return [this, generation, load] {
            Arrived(generation, std::move(*load));
        };
    });
    pending_ = std::move(pending);
}

void FolderRunner::Arrived(std::uint64_t generation, FolderLoad load)
{
    if (generation != generation_ || !pending_) {
        return;
    }
    Pending shown = std::move(*pending_);
    pending_.reset();
    show_(*shown.folder, shown.query, std::move(load));
    if (shown.shown) {
        shown.shown();
    }
}

void FolderRunner::Write(std::function<int()> write, std::function<void(int status)> done)
{
    ++writesRunning_;
    Behind([this, write = std::move(write), done = std::move(done)] {
        const int status = write();
        return [this, done, status] {
            --writesRunning_;
            done(status);
        };
    });
    if (pending_) {
        Post(std::move(*pending_));
    }
}

void FolderRunner::Behind(std::function<std::function<void()>()> work)
{
    worker_.Post([this, work = std::move(work)] {
        std::function<void()> then = work();
        // Queued to this object: dropped with it, and ignored once stopped.
        QMetaObject::invokeMethod(
            this,
            [this, then = std::move(then)] {
                if (!stopped_) {
                    then();
                }
            },
            Qt::QueuedConnection);
    });
}

void FolderRunner::Stop()
{
    worker_.Stop();
    stopped_ = true;
}

} // namespace tallyhawk
