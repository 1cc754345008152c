#pragma once

#include "gui/folders/folder_load.h"
#include "gui/folders/folder_worker.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>

namespace tallyhawk
{

class FolderController;

// Runs the folders' file work on the worker and brings the results back to the window thread: loads
// (only the newest is shown; an older one still running is dropped when it comes back), writes (in
// the order asked), and any other work the window hands it. After Stop nothing comes back.
class FolderRunner : public QObject
{
    Q_OBJECT

public:
    // `show` puts a load's result on screen; it runs on the window thread.
    using Show = std::function<void(FolderController& folder, const FolderQuery& query, FolderLoad load)>;
    explicit FolderRunner(Show show, QObject* parent = nullptr);
    ~FolderRunner() override;

    // Loads `folder` for `query` as the newest load; `shown` runs after it is shown. A load it replaces
    // that was to fill the tree again leaves that to this one.
    void Load(FolderController& folder, FolderQuery query, std::function<void()> shown);
    // Forgets the load running: the folder it was for is left.
    void Drop();
    // Runs `write`, then `done` with its status. A load asked for before it runs again after it, so the
    // rows show what the write did.
    void Write(std::function<int()> write, std::function<void(int status)> done);
    // Runs `work` on the worker after everything posted before it, then what it returns here.
    void Behind(std::function<std::function<void()>()> work);

    // A load not shown yet, or a write not back yet.
    bool busy() const { return pending_.has_value() || writesRunning_ > 0; }
    // Runs what was posted, joins the worker, and drops every result from then on. Runs once.
    void Stop();

private:
    struct Pending
    {
        FolderController* folder;
        FolderQuery query;
        std::function<void()> shown;
    };

    void Post(Pending pending);
    void Arrived(std::uint64_t generation, FolderLoad load);

    Show show_;
    // Counts the loads asked for; a load is shown only while no newer one was asked for.
    std::uint64_t generation_ = 0;
    std::optional<Pending> pending_;
    int writesRunning_ = 0;
    bool stopped_ = false;
    // Last: joined before anything above goes.
    FolderWorker worker_;
};

} // namespace tallyhawk
