#include "cli/cli_update_host.h"
#include "cli/commands.h"
#include "cli/server_options.h"
#include "cli/stop_on_interrupt.h"
#include "core/common/display_text.h"
#include "core/settings/settings.h"
#include "core/update/download_pass.h"
#include "core/update/program_session.h"
#include "core/update/update_cycle.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>

namespace tallyhawk::cli
{

namespace
{

void AddUpdateOptions(CommandLine& commandLine)
{
    commandLine.Flag("--yes", "answer Yes to the new-version prompts")
        .Flag("--no", "answer No to the new-version prompts")
        .Flag("--hidden", "count as started hidden: one alert per new item, no summary")
        .Option("--alerts",
                "all|rules",
                "rules (default): alert what the alert settings let through; all: every new item");
    AddServerOptions(commandLine);
}

// The start-up: the weekly upkeep, then the stores' highest ids (no view is shown here). An exit code
// when it cannot go on.
std::optional<int> StartUp(CliContext& ctx,
                           const CommandLine& commandLine,
                           const std::string& command,
                           std::unique_ptr<ProgramSession>& session)
{
    if (commandLine.Has("--yes") && commandLine.Has("--no")) {
        return UsageError(ctx, command, "Give --yes or --no, not both.");
    }
    const std::string alerts = commandLine.Value("--alerts").value_or("rules");
    if (alerts != "all" && alerts != "rules") {
        return UsageError(ctx, command, "The alerts must be all or rules.");
    }
    ServerEndpoint endpoint;
    if (std::optional<int> exit = ReadServerEndpoint(ctx, commandLine, command, endpoint)) {
        return exit;
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    Settings settings;
    settings.serverAddress = endpoint.host;
    settings.serverPort = endpoint.port;
    session = std::make_unique<ProgramSession>(std::move(settings));
    session->connection().SetRequestLimit(endpoint.timeLimit);
    session->OpenStores();
    session->context().startedHidden = commandLine.Has("--hidden");
    session->context().ruledAlerts = alerts == "rules";

    const UpkeepResult upkeep = session->RunWeeklyUpkeep();
    if (upkeep.archived) {
        ctx.out << "Weekly upkeep: the item stores and shopping files were archived.\n";
    }
    for (const auto& [path, status] : upkeep.failures) {
        ctx.err << "tallyhawk-cli: the archive of " << TerminalText(path) << " failed (status " << status
                << "); the file was left as it was.\n";
    }
    session->LearnHighestIds();
    return std::nullopt;
}

std::optional<bool> PresetAnswer(const CommandLine& commandLine)
{
    if (commandLine.Has("--yes")) {
        return true;
    }
    if (commandLine.Has("--no")) {
        return false;
    }
    return std::nullopt;
}

void PrintCounts(std::ostream& out, const DownloadCounts& counts)
{
    const int both = counts.coupons + counts.deals;
    out << both << " new coupons and deals (" << counts.coupons << " coupons, " << counts.deals << " deals), "
        << counts.topics << " new forum topics.\n";
}

// The update cycle as the program's start runs it. An exit code when the command ends here.
std::optional<int>
RunCycle(CliContext& ctx, ProgramSession& session, CliUpdateHost& host, std::stop_token stop)
{
    CycleOutcome outcome = UpdateCycle::Run(session.context(), host, stop);
    if (outcome.exitRequested) {
        return kExitOk;
    }
    if (outcome.counts.stopped || stop.stop_requested()) {
        return Failure(ctx, "The update was stopped.");
    }
    if (!outcome.serverVersion) {
        ctx.out << "No version reply from the deal server.\n";
    }
    PrintCounts(ctx.out, outcome.counts);
    return std::nullopt;
}

} // namespace

int RunUpdate(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine("update",
                            "Run the update cycle of a program start: the weekly upkeep, the version check,\n"
                            "the site list refresh when due, and the download of new coupons, deals and\n"
                            "forum topics, printing each step and alert.");
    AddUpdateOptions(commandLine);
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    std::unique_ptr<ProgramSession> session;
    if (std::optional<int> exit = StartUp(ctx, commandLine, "update", session)) {
        return *exit;
    }
    StopOnInterrupt interrupt;
    CliUpdateHost host(ctx.out, PresetAnswer(commandLine));
    return RunCycle(ctx, *session, host, interrupt.flag()).value_or(kExitOk);
}

int RunWatch(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine("watch",
                            "Run the update cycle, then a download pass every 180 seconds (or --interval),\n"
                            "printing each alert as it arrives, until Ctrl-C.");
    AddUpdateOptions(commandLine);
    commandLine.Option("--interval", "SECONDS", "seconds between download passes (default 180)");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    std::optional<std::chrono::milliseconds> interval;
    if (std::optional<std::string> text = commandLine.Value("--interval")) {
        std::optional<long long> seconds = ParseInteger(*text);
        if (!seconds || *seconds < 1 || *seconds > 86400) {
            return UsageError(ctx, "watch", "The interval must be a number of seconds from 1 to 86400.");
        }
        interval = std::chrono::seconds(*seconds);
    }
    std::unique_ptr<ProgramSession> session;
    if (std::optional<int> exit = StartUp(ctx, commandLine, "watch", session)) {
        return *exit;
    }
    if (interval) {
        session->context().downloadInterval = *interval;
    }
    StopOnInterrupt interrupt;
    std::stop_token stop = interrupt.flag();
    CliUpdateHost host(ctx.out, PresetAnswer(commandLine));
    if (std::optional<int> exit = RunCycle(ctx, *session, host, stop)) {
        return *exit == kExitFailure && stop.stop_requested() ? kExitOk : *exit;
    }
    ctx.out.flush();
    std::mutex mutex;
    std::condition_variable_any wake;
    while (!stop.stop_requested()) {
        std::unique_lock<std::mutex> lock(mutex);
        // Ctrl-C ends the wait at once.
        wake.wait_for(lock, stop, host.downloadInterval().value_or(session->context().downloadInterval), [] {
            return false;
        });
        lock.unlock();
        if (stop.stop_requested()) {
            break;
        }
        DownloadPass::Run(session->context(), host, stop);
        ctx.out.flush();
    }
    ctx.out << "Stopped.\n";
    return kExitOk;
}

} // namespace tallyhawk::cli
