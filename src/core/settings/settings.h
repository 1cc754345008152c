#pragma once

#include "core/common/status.h"
#include "core/platform/autostart_entry.h"
#include "core/platform/settings_storage.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace tallyhawk
{

// The user's choices for the server, start-up, alerts, subscriptions and keyword filters, kept in
// the settings file (~/.config/Quillmarch/Tallyhawk.conf, private to the user) under the value names
// of SettingDefinitions(). Read once at start; written back by the settings dialog and the summary page.
class Settings
{
public:
    // What ApplyAutoRun did.
    using AutoRunResult = AutostartEntry::Result;

    // The user's settings file: defaults, then Load.
    Settings();
    // Another settings file (tests, tools): defaults, then Load.
    explicit Settings(std::string filePath);

    const std::string& filePath() const { return storage_.filePath(); }

    // Reads every value; a missing or unusable value keeps what it had, a text longer than its limit
    // is cut. -1 when the file exists but cannot be read (nothing changes) or is damaged (the values
    // it gave still count), else 0.
    int Load();
    // Writes the values the program owns (never ServerAddress, ServerPort or SiteUrl). 0, or -1 when
    // the file cannot be written.
    int Save() const;
    // Whether Load took the named value from the file (rather than keeping its default).
    bool IsStored(std::string_view name) const { return stored_.count(std::string(name)) != 0; }

    // Writes or removes the autostart entry that starts the desktop program hidden (argument m) at
    // login, as AutoRun says. The first form uses the installed desktop program beside this one.
    AutoRunResult ApplyAutoRun() const;
    AutoRunResult ApplyAutoRun(const std::string& programPath) const;

    // "LastArchive": seconds since 1970 of the last weekly upkeep; read and written by the start-up,
    // not by Load and Save. A missing or unusable value reads as 0.
    std::int32_t ReadLastArchive() const;
    int WriteLastArchive(std::int32_t seconds) const;

    // One value of the file read or written alone: for values set only from outside the program
    // (ServerAddress, ServerPort, SiteUrl) and for tools. Reads give nothing when the value is
    // missing or not of the type; writes return 0 or -1.
    std::optional<std::string> ReadText(const std::string& name) const { return storage_.ReadText(name); }
    std::optional<std::int32_t> ReadNumber(const std::string& name) const
    {
        return storage_.ReadNumber(name);
    }
    int WriteText(const std::string& name, const std::string& value) const
    {
        return storage_.WriteText(name, value);
    }
    int WriteNumber(const std::string& name, std::int32_t value) const
    {
        return storage_.WriteNumber(name, value);
    }

    std::string serverAddress;
    std::int32_t serverPort = 0;
    std::string username;
    std::string password;
    std::int32_t autoRun = 1;
    std::int32_t showSummary = 1;
    std::int32_t getDeals = 1;
    std::int32_t getTopics = 1;
    std::int32_t notifyTimeout = 30;
    std::int32_t showNotify = 1;
    std::int32_t useDealsFilter = 0;
    std::int32_t useTopicsFilter = 0;
    std::string dealsFilter;
    std::string topicsFilter;
    // "Alert again for the same deal after N days": 7 for a new install; a settings file saved before
    // the setting existed reads 0, which alerts every deal as before.
    static constexpr std::int32_t kNewAlertAgainDays = 7;
    static constexpr std::int32_t kLongestAlertAgainDays = 90;
    std::int32_t alertAgainDays = kNewAlertAgainDays;
    // Quiet hours: alerts held from quietStart to quietEnd, minutes after local midnight.
    std::int32_t quietHours = 0;
    std::int32_t quietStart = 22 * 60;
    std::int32_t quietEnd = 7 * 60;
    // The site's base URL when a local service stands in for it; empty for the build's own.
    std::string siteUrl;

private:
    void SetDefaults();

    SettingsStorage storage_;
    std::set<std::string> stored_;
};

} // namespace tallyhawk
