#include "core/update/pass_runner.h"

#include "core/update/download_pass.h"
#include "core/update/update_cycle.h"

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

bool PassRunner::Start(std::function<void(std::stop_token)> pass)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_ || running_.load()) {
        return false;
    }
    if (worker_.joinable()) {
        worker_.join(); // the last pass has ended; only its thread is left
    }
    running_.store(true);
    worker_ = std::jthread([this, pass = std::move(pass)](std::stop_token stop) {
        pass(stop);
        running_.store(false);
    });
    return true;
}

bool PassRunner::StartUpdateCycle()
{
    return Start([this](std::stop_token stop) { UpdateCycle::Run(context_, host_, stop); });
}

bool PassRunner::TickDownload()
{
    return Start([this](std::stop_token stop) { DownloadPass::Run(context_, host_, stop); });
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
