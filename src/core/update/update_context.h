#pragma once

#include <chrono>
#include <filesystem>

namespace tallyhawk
{

class HttpFetcher;
class ItemStore;
class ServerConnection;
class Settings;
class ShoppingDatabase;

// What the passes work on, all owned by the program for its whole run. A pass run by the PassRunner
// works on a copy whose settings are a snapshot taken when it started (ForPass), so the window may
// change its settings meanwhile: a change takes effect from the next pass.
struct UpdateContext
{
    const Settings& settings;
    ServerConnection& connection;
    HttpFetcher& fetcher;
    ItemStore& deals; // coupons and deals, "deal.lst"
    ItemStore& topics; // forum topics, "topic.lst"
    // Holds the store and category lists in memory; without it the refresh works on the list files.
    ShoppingDatabase* shopping = nullptr;
    // The data folder, where the site list refresh writes its files.
    std::filesystem::path folder = ".";
    // The program was started hidden (the m switch, or --hidden).
    bool startedHidden = false;
    // Set by the weekly upkeep.
    bool listsRefreshDue = false;
    // Item alerts pass the user's alert rules (AlertGate); off, every kept item is alerted.
    bool ruledAlerts = true;

    static constexpr std::chrono::milliseconds kDownloadInterval{180000};
    static constexpr std::chrono::milliseconds kAlertQueueInterval{2000};
    std::chrono::milliseconds downloadInterval = kDownloadInterval;
    std::chrono::milliseconds alertQueueInterval = kAlertQueueInterval;

    // This context with `snapshot` as its settings; the snapshot must outlive the copy.
    UpdateContext ForPass(const Settings& snapshot) const
    {
        UpdateContext copy{snapshot, connection, fetcher, deals, topics, shopping};
        copy.folder = folder;
        copy.startedHidden = startedHidden;
        copy.listsRefreshDue = listsRefreshDue;
        copy.ruledAlerts = ruledAlerts;
        copy.downloadInterval = downloadInterval;
        copy.alertQueueInterval = alertQueueInterval;
        return copy;
    }
};

} // namespace tallyhawk
