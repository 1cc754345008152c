#include "cli/agent_test_report.h"
#include "cli/commands.h"
#include "core/common/display_text.h"
#include "core/compare/agent_configuration.h"
#include "core/compare/agent_file.h"
#include "core/compare/saved_page.h"
#include "core/compare/web_spider.h"
#include "core/net/http_fetcher.h"
#include "core/platform/atomic_file.h"

#include <filesystem>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string_view>

namespace tallyhawk::cli
{

namespace
{

constexpr const char* kCommand = "agents";

std::string LoadStatusText(std::int32_t status)
{
    switch (status) {
    case kOk:
        return "loaded";
    case kCannotOpen:
        return "the file cannot be opened";
    case kBadFormat:
        return "the file could not be read whole";
    case kBadMarker:
        return "the file is unusable or its last category or agent is invalid";
    default:
        return "unexpected status";
    }
}

const char* OriginText(AgentOrigin origin)
{
    return origin == AgentOrigin::User ? "user" : "site";
}

nlohmann::ordered_json OptionalText(const std::optional<std::string_view>& text)
{
    return text ? nlohmann::ordered_json(DisplayText(*text)) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json ConfigurationJson(const AgentConfiguration& config, std::int32_t status)
{
    nlohmann::ordered_json categories = nlohmann::ordered_json::array();
    for (const AgentType& category : config.categories()) {
        categories.push_back({{"TypeId", category.typeId}, {"TypeName", DisplayText(category.typeName)}});
    }
    nlohmann::ordered_json agents = nlohmann::ordered_json::array();
    for (const std::shared_ptr<WebAgent>& agent : config.agents()) {
        nlohmann::ordered_json entry = nlohmann::ordered_json::object();
        entry["SiteId"] = agent->siteId;
        entry["origin"] = OriginText(agent->origin);
        for (const WebAgentTextField& field : WebAgentTextFields()) {
            entry[std::string(field.element)] = OptionalText((*agent).*(field.member));
        }
        agents.push_back(std::move(entry));
    }
    nlohmann::ordered_json refused = nlohmann::ordered_json::array();
    for (const AgentConfiguration::RefusedAgent& agent : config.refused()) {
        refused.push_back({{"SiteId", agent.siteId}, {"reason", agent.reason}});
    }
    return {{"status", status},
            {"categories", std::move(categories)},
            {"agents", std::move(agents)},
            {"refused", std::move(refused)}};
}

void PrintConfiguration(std::ostream& out, const AgentConfiguration& config, std::int32_t status)
{
    out << "Status " << status << ": " << LoadStatusText(status) << ".\n";
    out << config.CategoryCount() << (config.CategoryCount() == 1 ? " category" : " categories") << "\n";
    for (const AgentType& category : config.categories()) {
        out << "  " << category.typeId << "\t" << TerminalText(category.typeName) << "\n";
    }
    out << config.AgentCount() << (config.AgentCount() == 1 ? " agent" : " agents") << "\n";
    for (const std::shared_ptr<WebAgent>& agent : config.agents()) {
        out << "  " << agent->siteId << "\t" << TerminalText(agent->siteName.value_or("")) << "\tcategories "
            << TerminalText(agent->siteType.value_or("")) << "\t"
            << TerminalText(agent->formatString.value_or("")) << "\t" << OriginText(agent->origin) << "\n";
    }
    for (const AgentConfiguration::RefusedAgent& agent : config.refused()) {
        out << "Agent " << agent.siteId << " not loaded: " << agent.reason << ".\n";
    }
}

std::string UrlFailureText(std::int32_t status, std::int32_t siteId)
{
    if (status == kNoKeywordMarker) {
        return "The agent " + std::to_string(siteId)
            + " has no \" KEYWORD \" marker after the start of its FormatString (status -26).";
    }
    return "The search text gives no usable address: it is empty or the address would be longer than "
        + std::to_string(WebAgent::kMaxUrlLength) + " characters (status -27).";
}

// What went wrong with the configuration and what to do: a fresh install has none until the first
// list refresh.
std::string LoadFailureText(std::int32_t status, const std::string& file)
{
    if (status == kCannotOpen && !std::filesystem::exists(file)) {
        return "There is no agent configuration " + file
            + " yet. Run 'tallyhawk-cli lists refresh' to download it from the site.";
    }
    return "The agent configuration " + file + " did not load cleanly (status " + std::to_string(status)
        + ": " + LoadStatusText(status) + ").";
}

// A path the user gave, relative to where the command was started, not to the data folder.
std::string UserPath(const std::string& path)
{
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

// The agent that SITEID names, or none with `exit` set to the usage error or failure reported.
std::shared_ptr<WebAgent> AgentNamed(CliContext& ctx,
                                     const AgentConfiguration& config,
                                     std::int32_t loadStatus,
                                     const std::string& file,
                                     const std::string& siteIdWord,
                                     int& exit)
{
    std::optional<std::int32_t> siteId = ParseInt32(siteIdWord);
    if (!siteId) {
        exit = UsageError(ctx, kCommand, "SITEID must be a whole number.");
        return nullptr;
    }
    std::shared_ptr<WebAgent> agent = config.FindAgent(*siteId);
    if (!agent && config.RefusalOf(*siteId)) {
        exit = Failure(ctx,
                       "The agent " + std::to_string(*siteId) + " in " + file
                           + " was not loaded: " + *config.RefusalOf(*siteId) + ".");
    } else if (!agent) {
        exit = Failure(ctx,
                       loadStatus != kOk ? LoadFailureText(loadStatus, file)
                                         : "There is no agent with SiteId " + std::to_string(*siteId) + " in "
                               + file + ".");
    }
    return agent;
}

int RunTest(CliContext& ctx,
            const AgentConfiguration& config,
            std::int32_t loadStatus,
            const std::string& file,
            const std::vector<std::string>& words,
            const std::string& pageFile,
            bool json)
{
    int exit = kExitFailure;
    std::shared_ptr<WebAgent> agent = AgentNamed(ctx, config, loadStatus, file, words[1], exit);
    if (!agent) {
        return exit;
    }
    std::optional<std::string> page = ReadSavedPage(pageFile);
    if (!page) {
        return Failure(ctx, "Cannot read the page " + pageFile + ".");
    }
    std::string text;
    for (std::size_t i = 2; i < words.size(); ++i) {
        text += (i > 2 ? " " : "") + words[i];
    }
    return ReportAgentTest(ctx, *agent, *page, pageFile, text, json);
}

int RunUrl(CliContext& ctx,
           const AgentConfiguration& config,
           std::int32_t loadStatus,
           const std::string& file,
           const std::vector<std::string>& words,
           bool json)
{
    int exit = kExitFailure;
    std::shared_ptr<WebAgent> agent = AgentNamed(ctx, config, loadStatus, file, words[1], exit);
    if (!agent) {
        return exit;
    }
    std::string url;
    std::int32_t status = agent->BuildSearchUrl(words[2], url);
    if (json) {
        ctx.out << nlohmann::ordered_json{{"SiteId", agent->siteId},
                                          {"status", status},
                                          {"url",
                                           status == 0 ? nlohmann::ordered_json(url)
                                                       : nlohmann::ordered_json(nullptr)}}
                       .dump(2)
                << "\n";
    } else if (status == 0) {
        ctx.out << url << "\n";
    }
    return status == 0 ? kExitOk : Failure(ctx, UrlFailureText(status, agent->siteId));
}

int RunExport(CliContext& ctx,
              const AgentConfiguration& config,
              std::int32_t loadStatus,
              const std::string& file,
              const std::string& siteIdWord,
              const std::optional<std::string>& outFile)
{
    int exit = kExitFailure;
    std::shared_ptr<WebAgent> agent = AgentNamed(ctx, config, loadStatus, file, siteIdWord, exit);
    if (!agent) {
        return exit;
    }
    const std::vector<AgentType> categories = CategoriesServedBy(config, *agent);
    const std::string text = AgentFileText(categories, std::span(&agent, 1));
    if (!outFile) {
        ctx.out << text;
        return kExitOk;
    }
    if (!AtomicFile::Replace(*outFile, text)) {
        return Failure(ctx, "Cannot write " + *outFile + ".");
    }
    ctx.out << "Agent " << agent->siteId << " (" << TerminalText(agent->siteName.value_or(""))
            << ") written to " << *outFile << ".\n";
    return kExitOk;
}

// Lays the agents of FILE over the user's own file, which keeps every agent it had under another SiteId.
int RunImport(CliContext& ctx, const std::string& importFile)
{
    AgentConfiguration incoming(AgentOrigin::User);
    const std::int32_t status = incoming.Load(importFile);
    for (const AgentConfiguration::RefusedAgent& refused : incoming.refused()) {
        ctx.err << "Agent " << refused.siteId << " in " << importFile << " not imported: " << refused.reason
                << ".\n";
    }
    if (status != kOk || incoming.AgentCount() == 0) {
        return Failure(ctx,
                       "Nothing was imported: " + importFile
                           + (status != kOk ? " did not load cleanly (status " + std::to_string(status) + ": "
                                      + LoadStatusText(status) + ")."
                                            : " holds no agent that loads."));
    }
    const std::string userFile = AgentConfiguration::kUserFile;
    AgentConfiguration user(AgentOrigin::User);
    user.Load(userFile);
    AgentConfiguration site;
    site.Load(WebSpider::kConfigurationFile);
    std::vector<std::string> lines;
    for (const std::shared_ptr<WebAgent>& agent : incoming.agents()) {
        std::string line = "Agent " + std::to_string(agent->siteId) + " ("
            + TerminalText(agent->siteName.value_or("")) + ")";
        if (user.FindAgent(agent->siteId)) {
            line += ": replaces your earlier agent " + std::to_string(agent->siteId);
        } else if (site.FindAgent(agent->siteId)) {
            line += ": overrides the site's agent " + std::to_string(agent->siteId);
        } else {
            line += ": new";
        }
        lines.push_back(line + ".");
    }
    if (std::optional<std::string> failure = SaveUserAgents(userFile, incoming)) {
        return Failure(ctx, "Nothing was imported: " + *failure + ".");
    }
    ctx.out << "Imported " << incoming.AgentCount() << (incoming.AgentCount() == 1 ? " agent" : " agents")
            << " into " << userFile << ":\n";
    for (const std::string& line : lines) {
        ctx.out << "  " << line << "\n";
    }
    return kExitOk;
}

} // namespace

int RunAgents(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        kCommand,
        "List the price comparison categories and agents (the site's webspider.xml with your own\n"
        "useragents.xml laid over it), print one agent's search address: agents url SITEID TEXT,\n"
        "test an agent on a saved result page: agents test SITEID --page FILE TEXT, or move agents\n"
        "between machines: agents export SITEID [--out FILE], agents import FILE.");
    commandLine
        .Option("--config", "FILE", "agent configuration to read (default webspider.xml of the data folder)")
        .Flag("--json", "machine-readable output")
        .Option("--page", "FILE", "with test: the saved result page to scrape")
        .Option("--out", "FILE", "with export: the file to write (default: standard output)")
        .Positional(
            "url|test|export|import ...",
            "url SITEID TEXT: print the search address of agent SITEID for TEXT; test SITEID TEXT:\n"
            "      scrape the --page file with agent SITEID as a search for TEXT and show where its\n"
            "      markers landed; export SITEID: write the agent and its categories in the file\n"
            "      format; import FILE: add FILE's agents to your own, replacing those of the same SiteId",
            true,
            true);
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    const std::vector<std::string>& words = commandLine.positionals();
    if (!words.empty() && !(words[0] == "url" && words.size() == 3)
        && !(words[0] == "test" && words.size() >= 3) && !(words[0] == "export" && words.size() == 2)
        && !(words[0] == "import" && words.size() == 2)) {
        return UsageError(
            ctx,
            kCommand,
            "Expected no argument, or: url SITEID TEXT, test SITEID --page FILE TEXT, export SITEID, "
            "or import FILE.");
    }
    if (!words.empty() && words[0] == "test" && !commandLine.Has("--page")) {
        return UsageError(ctx, kCommand, "agents test needs the saved result page: --page FILE.");
    }
    // A --config path is the user's, relative to where the command was started, not to the data folder.
    std::string file = "webspider.xml";
    if (std::optional<std::string> config = commandLine.Value("--config")) {
        file = UserPath(*config);
    }
    std::optional<std::string> pageFile;
    if (std::optional<std::string> page = commandLine.Value("--page")) {
        pageFile = UserPath(*page);
    }
    std::optional<std::string> outFile;
    if (std::optional<std::string> out = commandLine.Value("--out")) {
        outFile = UserPath(*out);
    }
    const std::optional<std::string> importFile = !words.empty() && words[0] == "import"
        ? std::optional<std::string>(UserPath(words[1]))
        : std::nullopt;
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    if (importFile) {
        return RunImport(ctx, *importFile);
    }
    AgentConfiguration config;
    std::int32_t status = config.Load(file);
    // The user's own agents count wherever the site's file is the one read.
    if (!commandLine.Has("--config")) {
        const std::int32_t userStatus = config.MergeUserFile(AgentConfiguration::kUserFile);
        if (userStatus != kOk) {
            ctx.err << "Your agents in " << AgentConfiguration::kUserFile << " did not load cleanly (status "
                    << userStatus << ": " << LoadStatusText(userStatus) << ").\n";
        }
        if (status == kCannotOpen && config.AgentCount() > 0) {
            status = userStatus;
        }
    }
    bool json = commandLine.Has("--json");
    if (!words.empty() && words[0] == "export") {
        return RunExport(ctx, config, status, file, words[1], outFile);
    }
    if (!words.empty() && words[0] == "test") {
        return RunTest(ctx, config, status, file, words, *pageFile, json);
    }
    if (!words.empty()) {
        return RunUrl(ctx, config, status, file, words, json);
    }
    if (json) {
        ctx.out << ConfigurationJson(config, status).dump(2) << "\n";
    } else {
        PrintConfiguration(ctx.out, config, status);
    }
    return status == kOk ? kExitOk : Failure(ctx, LoadFailureText(status, file));
}

} // namespace tallyhawk::cli
