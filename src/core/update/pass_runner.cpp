#include "core/update/pass_runner.h"

#include "core/settings/settings.h"
#include "core/update/download_pass.h"
#include "core/update/update_context.h"
#include "core/update/update_cycle.h"

#include <memory>

namespace tallyhawk
{

PassRunner::PassRunner(UpdateContext& context, UpdateHost& host)
    : context_(context)
    , host_(host)
{ }

PassRunner::~PassRunner()
{
    Stop();
}

namespace
{

// The settings as the pass began, and the context that points at them.
struct PassSnapshot
{
    explicit PassSnapshot(const UpdateContext& context)
        : settings(context.settings)
        , context(context.ForPass(settings))
    { }

    Settings settings;
    UpdateContext context;
};

} // namespace

bool PassRunner::Start(std::function<void(UpdateContext&, std::stop_token)> pass)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_ || running_.load()) {
        return false;
    }
    if (worker_.joinable()) {
        worker_.join(); // the last pass has ended; only its thread is left
    }
    running_.store(true);
    // Taken here, on the starting thread, where the settings are edited.
    auto snapshot = std::make_unique<PassSnapshot>(context_);
    worker_
        = std::jthread([this, pass = std::move(pass), snapshot = std::move(snapshot)](std::stop_token stop) {
              pass(snapshot->context, stop);
              running_.store(false);
          });
    return true;
}

bool PassRunner::StartUpdateCycle()
{
    return Start(
        [this](UpdateContext& context, std::stop_token stop) { UpdateCycle::Run(context, host_, stop); });
}

bool PassRunner::TickDownload()
{
    return Start(
        [this](UpdateContext& context, std::stop_token stop) { DownloadPass::Run(context, host_, stop); });
}

void PassRunner::Stop()
{
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
}

} // namespace tallyhawk
