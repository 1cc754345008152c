#include "core/settings/settings.h"

#include "core/platform/program_path.h"
#include "core/settings/site_url.h"

#include <vector>

namespace tallyhawk
{

Settings::Settings()
    : Settings(SettingsStorage::DefaultFilePath())
{ }

Settings::Settings(std::string filePath)
    : storage_(std::move(filePath))
{
    SetDefaults();
    Load();
}

void Settings::SetDefaults()
{
    serverAddress = DefaultServerHost();
    serverPort = kDefaultServerPort;
    username.clear();
    password.clear();
    autoRun = 1;
    showSummary = 1;
    getDeals = 1;
    getTopics = 1;
    notifyTimeout = 30;
    showNotify = 1;
    useDealsFilter = 0;
    useTopicsFilter = 0;
    dealsFilter.clear();
    topicsFilter.clear();
}

int Settings::Load()
{
    stored_.clear();
    SettingsStorage::Snapshot file = storage_.Read();
    if (!file.readable()) {
        return kError;
    }
    auto text = [&](const char* name, std::string& member, std::size_t limit) {
        if (std::optional<std::string> value = file.Text(name, limit)) {
            member = std::move(*value);
            stored_.insert(name);
        }
    };
    auto number = [&](const char* name, std::int32_t& member) {
        if (std::optional<std::int32_t> value = file.Number(name)) {
            member = *value;
            stored_.insert(name);
        }
    };
    text("ServerAddress", serverAddress, kShortTextLimit);
    text("Username", username, kShortTextLimit);
    text("Password", password, kShortTextLimit);
    text("DealsFilter", dealsFilter, kFilterTextLimit);
    text("TopicsFilter", topicsFilter, kFilterTextLimit);
    number("ServerPort", serverPort);
    number("AutoRun", autoRun);
    number("NotifyTimeout", notifyTimeout);
    number("ShowNotify", showNotify);
    number("ShowSummary", showSummary);
    number("GetDeals", getDeals);
    number("GetTopics", getTopics);
    number("UseDealsFilter", useDealsFilter);
    number("UseTopicsFilter", useTopicsFilter);
    // A file with lines the reader did not understand still gives the values it could read, so a
    // stray line does not reset the user's choices; the caller learns of the damage.
    return file.Damaged() ? kError : kOk;
}

int Settings::Save() const
{
    return storage_.Write({
        {"Username", username},
        {"Password", password},
        {"DealsFilter", dealsFilter},
        {"TopicsFilter", topicsFilter},
        {"AutoRun", autoRun},
        {"NotifyTimeout", notifyTimeout},
        {"ShowNotify", showNotify},
        {"ShowSummary", showSummary},
        {"GetDeals", getDeals},
        {"GetTopics", getTopics},
        {"UseDealsFilter", useDealsFilter},
        {"UseTopicsFilter", useTopicsFilter},
    });
}

Settings::AutoRunResult Settings::ApplyAutoRun() const
{
    return ApplyAutoRun(DesktopProgramPath());
}

Settings::AutoRunResult Settings::ApplyAutoRun(const std::string& programPath) const
{
    AutostartEntry entry;
    // Only exactly 1 means on.
    return autoRun == 1 ? entry.Write(programPath) : entry.Remove();
}

std::int32_t Settings::ReadLastArchive() const
{
    return ReadNumber("LastArchive").value_or(0);
}

int Settings::WriteLastArchive(std::int32_t seconds) const
{
    return WriteNumber("LastArchive", seconds);
}

} // namespace tallyhawk
