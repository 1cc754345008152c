#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

namespace tallyhawk
{

class UpdateHost;
struct UpdateContext;

// Runs the update passes on a worker thread of their own, one at a time, since they share the one
// ServerConnection: a download tick while a pass still runs is skipped. Each pass works on a snapshot
// of the settings taken by the thread that starts it (the window's), never on the settings the window
// edits. Stop ends a running pass at its next safe point (the waits are sliced, merges stop between
// slices) and joins it.
class PassRunner
{
public:
    PassRunner(UpdateContext& context, UpdateHost& host);
    ~PassRunner();
    PassRunner(const PassRunner&) = delete;
    PassRunner& operator=(const PassRunner&) = delete;

    // The start's UpdateCycle. False when a pass runs or the runner was stopped.
    bool StartUpdateCycle();
    // A tick of the download timer: a DownloadPass, unless one is running (skipped, false).
    bool TickDownload();
    // Any pass, for the host's own work on the connection; the same rule. `pass` gets the context of
    // this pass, with its settings snapshot.
    bool Start(std::function<void(UpdateContext&, std::stop_token)> pass);

    bool running() const { return running_.load(); }
    // Asks a running pass to end, waits for it, and refuses passes from then on.
    void Stop();

private:
    UpdateContext& context_;
    UpdateHost& host_;
    std::mutex mutex_;
    std::atomic<bool> running_{false};
    bool stopped_ = false;
    std::jthread worker_;
};

} // namespace tallyhawk
