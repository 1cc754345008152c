#pragma once

#include "core/update/update_host.h"

#include <chrono>
#include <iosfwd>
#include <mutex>
#include <optional>

namespace tallyhawk::cli
{

// The update passes on a terminal: titles, prompts, list refresh results and alerts become lines of
// output. A prompt takes the preset answer (--yes or --no), else asks on the terminal when there is
// one, else answers No. Pages are printed, not opened: the command line may run where no browser is.
class CliUpdateHost : public UpdateHost
{
public:
    CliUpdateHost(std::ostream& out, std::optional<bool> presetAnswer);

    void SetTitle(const std::string& title) override;
    bool AskDownloadNewVersion() override;
    bool AskExitNow() override;
    void OpenPage(const std::string& url) override;
    void EndProgram(int result) override;
    void RefreshView(bool) override { }
    void StopTimers() override { }
    void StartTimers(std::chrono::milliseconds download, std::chrono::milliseconds) override;
    void ListsRefreshed(const SiteListsRefresh& refresh) override;
    void PostAlert(std::unique_ptr<ItemRecord> record) override;

    // The download interval the cycle asked for, once it started the timers.
    std::optional<std::chrono::milliseconds> downloadInterval() const { return downloadInterval_; }
    bool endRequested() const { return endRequested_; }

private:
    bool Ask(std::string_view question);

    std::ostream& out_;
    std::optional<bool> presetAnswer_;
    std::optional<std::chrono::milliseconds> downloadInterval_;
    bool endRequested_ = false;
    std::mutex mutex_; // alerts may come from a pass's own thread
};

} // namespace tallyhawk::cli
