#include "cli/commands.h"
#include "cli/site_lists_output.h"
#include "cli/stop_on_interrupt.h"
#include "core/common/display_text.h"
#include "core/net/http_fetcher.h"
#include "core/settings/settings.h"
#include "core/settings/site_url.h"
#include "core/update/site_lists_refresh.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>

namespace tallyhawk::cli
{

namespace
{

std::string ListFileStatusText(std::int32_t status)
{
    switch (status) {
    case -41:
        return "cannot be opened";
    case -42:
        return "is cut short or holds an entry without a valid id";
    case -44:
        return "has a wrong marker";
    default:
        return "cannot be read (status " + std::to_string(status) + ")";
    }
}

// One sentence on a failed step.
std::string FailureText(const RefreshStepResult& result, const std::string& fileName)
{
    switch (result.stage) {
    case RefreshStage::Done:
        return "done";
    case RefreshStage::ReadList:
        return "the local file " + fileName + " " + ListFileStatusText(result.status)
            + ", so it was left alone";
    case RefreshStage::Download:
        return "the download failed: " + result.downloadFailure;
    case RefreshStage::Read:
        return "the download could not be read (status " + std::to_string(result.status) + ")";
    case RefreshStage::NoAgents:
        return "the downloaded configuration defines no agent";
    case RefreshStage::Save:
        return fileName + " could not be written";
    }
    return "unexpected result";
}

void PrintListStep(std::ostream& out,
                   const std::string& caption,
                   SiteList which,
                   const RefreshStepResult& result)
{
    if (!result.ok()) {
        out << caption << ": failed: " << FailureText(result, SiteListFileName(which)) << ".\n";
        return;
    }
    out << caption << ": " << result.added.size() << (result.added.size() == 1 ? " entry" : " entries")
        << " added; " << SiteListFileName(which) << " saved.\n";
    for (const IdNameEntry& entry : result.added) {
        out << "  " << entry.id << "\t" << TerminalText(entry.name) << "\n";
    }
}

void PrintAgentStep(std::ostream& out, const RefreshStepResult& result)
{
    if (!result.ok()) {
        out << "Agent configuration: failed: " << FailureText(result, "webspider.xml")
            << "; webspider.xml was kept.\n";
        return;
    }
    out << "Agent configuration: webspider.xml replaced (" << result.agentCount
        << (result.agentCount == 1 ? " agent, " : " agents, ") << result.categoryCount
        << (result.categoryCount == 1 ? " category" : " categories") << ").\n";
}

const char* StageName(RefreshStage stage)
{
    switch (stage) {
    case RefreshStage::Done:
        return "done";
    case RefreshStage::ReadList:
        return "read-list";
    case RefreshStage::Download:
        return "download";
    case RefreshStage::Read:
        return "read";
    case RefreshStage::NoAgents:
        return "no-agents";
    case RefreshStage::Save:
        return "save";
    }
    return "unknown";
}

nlohmann::ordered_json StepJson(const RefreshStepResult& result, bool listStep)
{
    nlohmann::ordered_json json{
        {"ok", result.ok()}, {"stage", StageName(result.stage)}, {"status", result.status}};
    if (listStep) {
        nlohmann::ordered_json added = nlohmann::ordered_json::array();
        for (const IdNameEntry& entry : result.added) {
            added.push_back({{"id", entry.id}, {"name", DisplayText(entry.name)}});
        }
        json["added"] = std::move(added);
    } else {
        json["agents"] = result.agentCount;
        json["categories"] = result.categoryCount;
    }
    return json;
}

std::string Caption(SiteList which)
{
    return which == SiteList::Stores ? "Stores" : "Categories";
}

} // namespace

void PrintSiteListsRefresh(std::ostream& out, const SiteListsRefresh& refresh)
{
    PrintAgentStep(out, refresh.agents);
    PrintListStep(out, Caption(SiteList::Stores), SiteList::Stores, refresh.stores);
    PrintListStep(out, Caption(SiteList::Categories), SiteList::Categories, refresh.categories);
}

int RunListsUpdate(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        "lists update",
        "Ask the service's site for the stores or categories after the highest service id\n"
        "held, merge them into the list and save it.");
    commandLine.Positional("LIST", "stores or categories").Flag("--json", "machine-readable output");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    const std::string& name = commandLine.positionals()[0];
    if (name != "stores" && name != "categories") {
        return UsageError(ctx, "lists update", "LIST must be stores or categories.");
    }
    SiteList which = name == "stores" ? SiteList::Stores : SiteList::Categories;
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    StopOnInterrupt interrupt;
    if (ctx.stderrIsTerminal) {
        ctx.err << "Updating the " << name << "...\n";
    }
    HttpFetcher fetcher;
    Settings settings;
    RefreshStepResult result
        = UpdateSiteListFile(fetcher, SiteBaseUrl(settings), which, ".", interrupt.flag());
    if (commandLine.Has("--json")) {
        ctx.out << StepJson(result, true).dump(2) << "\n";
    } else if (result.ok()) {
        PrintListStep(ctx.out, Caption(which), which, result);
    }
    if (!result.ok()) {
        return Failure(
            ctx, "The " + name + " update failed: " + FailureText(result, SiteListFileName(which)) + ".");
    }
    return kExitOk;
}

int RunListsRefresh(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        "lists refresh",
        "Refresh the site lists as the weekly upkeep does: the agent configuration, then\n"
        "the stores, then the categories, each step whatever the others did.");
    commandLine.Flag("--json", "machine-readable output");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    StopOnInterrupt interrupt;
    if (ctx.stderrIsTerminal) {
        ctx.err << "Refreshing the site lists...\n";
    }
    HttpFetcher fetcher;
    Settings settings;
    SiteListsRefresh refresh = RefreshSiteLists(fetcher, SiteBaseUrl(settings), ".", interrupt.flag());
    if (commandLine.Has("--json")) {
        nlohmann::ordered_json json{{"agents", StepJson(refresh.agents, false)},
                                    {"stores", StepJson(refresh.stores, true)},
                                    {"categories", StepJson(refresh.categories, true)}};
        ctx.out << json.dump(2) << "\n";
    } else {
        PrintSiteListsRefresh(ctx.out, refresh);
    }
    if (!refresh.ok()) {
        return Failure(ctx, "Some steps of the site list refresh failed.");
    }
    return kExitOk;
}

} // namespace tallyhawk::cli
