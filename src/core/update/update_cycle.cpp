#include "core/update/update_cycle.h"

#include "core/common/program_version.h"
#include "core/common/site_addresses.h"
#include "core/protocol/server_connection.h"
#include "core/settings/settings.h"
#include "core/settings/site_url.h"
#include "core/store/alert_record.h"
#include "core/update/lists_refresh_step.h"
#include "core/update/update_context.h"
#include "core/update/update_host.h"
#include "core/update/update_texts.h"
#include "core/update/weekly_upkeep.h"

#include <array>

namespace tallyhawk
{

namespace
{

constexpr int kExitForNewVersion = -2;

std::array<unsigned char, 3> FirstThreeBytes(std::string_view text)
{
    std::array<unsigned char, 3> bytes{};
    for (std::size_t i = 0; i < bytes.size() && i < text.size() && text[i] != '\0'; ++i) {
        bytes[i] = static_cast<unsigned char>(text[i]);
    }
    return bytes;
}

} // namespace

bool UpdateCycle::IsNewerVersion(std::string_view serverVersion)
{
    return FirstThreeBytes(serverVersion) > FirstThreeBytes(kProgramVersion);
}

std::string UpdateCycle::Title(std::string_view format, std::string_view address)
{
    std::string title(format);
    if (std::size_t at = title.find("%s"); at != std::string::npos) {
        title.replace(at, 2, address);
    }
    return title;
}

bool UpdateCycle::CheckVersion(UpdateContext& context, UpdateHost& host, CycleOutcome& outcome)
{
    outcome.serverVersion = context.connection.FetchVersion();
    if (!outcome.serverVersion || !IsNewerVersion(*outcome.serverVersion)) {
        return false;
    }
    outcome.newerVersion = true;
    if (!host.AskDownloadNewVersion()) {
        return false;
    }
    const bool exitNow = host.AskExitNow();
    // Whatever the second answer.
    host.OpenPage(DownloadPageUrl(SiteBaseUrl(context.settings)));
    return exitNow;
}

CycleOutcome UpdateCycle::Run(UpdateContext& context, UpdateHost& host, std::stop_token stop)
{
    CycleOutcome outcome;
    const Settings& settings = context.settings;
    context.connection.SetStopToken(stop);
    host.SetTitle(Title(kConnectingTitle, settings.serverAddress));
    context.connection.Configure(settings.serverAddress, settings.serverPort);
    // Says Online before any connection is made, and keeps saying it whatever happens later.
    host.SetTitle(Title(kOnlineTitle, settings.serverAddress));
    host.StopTimers();

    outcome.exitRequested = CheckVersion(context, host, outcome);
    if (outcome.exitRequested) {
        host.EndProgram(kExitForNewVersion);
        return outcome;
    }
    if (stop.stop_requested()) {
        outcome.counts.stopped = true;
        return outcome;
    }
    if (context.listsRefreshDue || WeeklyUpkeep::RefreshPending(settings)) {
        outcome.lists = RefreshListsStep(context, host, stop);
    }

    // A hidden start shows every item, but only while popups are on at all.
    const bool alertsOn = settings.showNotify == 1;
    const bool alertEach = context.startedHidden && alertsOn;
    outcome.counts = DownloadPass::DownloadItems(context, host, alertEach, stop);
    if (outcome.counts.stopped) {
        return outcome;
    }
    // A version reply reached the server too, though the item requests then found it gone.
    host.ServerReached(outcome.counts.reached || outcome.serverVersion.has_value());
    const int newItems = outcome.counts.coupons + outcome.counts.deals;
    if (newItems >= 1 && !context.startedHidden) {
        host.RefreshView(true);
        if (alertsOn) {
            host.PostAlert(MakeProgramNotice(newItems));
            outcome.summaryPosted = true;
        }
    }
    host.StartTimers(context.downloadInterval, context.alertQueueInterval);
    return outcome;
}

} // namespace tallyhawk
