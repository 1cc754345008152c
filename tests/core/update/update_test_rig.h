#pragma once

#include "core/net/http_fetcher.h"
#include "core/protocol/server_connection.h"
#include "core/settings/settings.h"
#include "core/store/item_store.h"
#include "core/update/site_lists_refresh.h"
#include "core/update/update_context.h"
#include "core/update/update_host.h"
#include "support/temp_dir.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tallyhawk::test
{

// A host that records what the passes asked of it and answers the prompts from presets.
class RecordingHost : public UpdateHost
{
public:
    void SetTitle(const std::string& title) override { Note("title " + title); }
    bool AskDownloadNewVersion() override
    {
        Note("ask download");
        return downloadAnswer;
    }
    bool AskExitNow() override
    {
        Note("ask exit");
        return exitAnswer;
    }
    void OpenPage(const std::string& url) override { Note("open " + url); }
    void EndProgram(int result) override { Note("end " + std::to_string(result)); }
    void RefreshView(bool rebuildTree) override { Note(rebuildTree ? "refresh tree" : "refresh"); }
    void StopTimers() override { Note("stop timers"); }
    void StartTimers(std::chrono::milliseconds download, std::chrono::milliseconds alerts) override
    {
        Note("start timers " + std::to_string(download.count()) + " " + std::to_string(alerts.count()));
    }
    void ListsRefreshed(const SiteListsRefresh& refresh) override
    {
        Note(refresh.ok() ? "lists ok" : "lists failed");
    }
    void ServerReached(bool reached) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        serverReached.push_back(reached);
    }
    void PostAlert(std::unique_ptr<ItemRecord> record) override
    {
        std::function<void()> hook;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            alerts.push_back(*record);
            hook = onAlert;
        }
        if (hook) {
            hook();
        }
    }

    std::vector<std::string> Events() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    bool Saw(const std::string& event) const;

    bool downloadAnswer = false;
    bool exitAnswer = false;
    std::vector<ItemRecord> alerts;
    // What each pass reported of the deal server, in order.
    std::vector<bool> serverReached;
    std::function<void()> onAlert;

private:
    void Note(std::string event)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(event));
    }

    mutable std::mutex mutex_;
    std::vector<std::string> events_;
};

// A data folder, a settings file and the objects an update pass works on, with short waits.
struct UpdateRig
{
    explicit UpdateRig(std::uint16_t dealPort, const std::string& siteUrl = "http://127.0.0.1:9");

    // Opens both stores on the folder and loads them (as the start-up does after the upkeep).
    void LoadStores();

    TempDir dir;
    Settings settings;
    ServerConnection connection;
    HttpFetcher fetcher{HttpFetcher::Timeouts{
        std::chrono::milliseconds(1000), std::chrono::milliseconds(1000), std::chrono::milliseconds(2000)}};
    ItemStore deals;
    ItemStore topics;
    UpdateContext context;
    RecordingHost host;
};

} // namespace tallyhawk::test
