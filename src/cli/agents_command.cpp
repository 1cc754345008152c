#include "cli/agent_test_report.h"
#include "cli/commands.h"
#include "core/common/display_text.h"
#include "core/compare/agent_configuration.h"
#include "core/net/http_fetcher.h"

#include <filesystem>
#include <fstream>
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
            << TerminalText(agent->formatString.value_or("")) << "\n";
    }
    for (const AgentConfiguration::RefusedAgent& agent : config.refused()) {
        out << "Agent " << agent.siteId << " not loaded: " << agent.reason << ".\n";
    }
}

// A saved page as the fetcher would hand it over: at most HttpFetcher::kMaxBody - 1 bytes.
std::optional<std::string> ReadPage(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string page(HttpFetcher::kMaxBody - 1, '\0');
    in.read(page.data(), static_cast<std::streamsize>(page.size()));
    if (in.bad()) {
        return std::nullopt;
    }
    page.resize(static_cast<std::size_t>(in.gcount()));
    return page;
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
    std::optional<std::string> page = ReadPage(pageFile);
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

} // namespace

int RunAgents(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        kCommand,
        "List the price comparison categories and agents of the agent configuration,\n"
        "print one agent's search address: agents url SITEID TEXT, or test an agent on a\n"
        "saved result page: agents test SITEID --page FILE TEXT.");
    commandLine
        .Option("--config", "FILE", "agent configuration to read (default webspider.xml of the data folder)")
        .Flag("--json", "machine-readable output")
        .Option("--page", "FILE", "with test: the saved result page to scrape")
        .Positional("url|test SITEID TEXT",
                    "url: print the search address of agent SITEID for TEXT; test: scrape the --page\n"
                    "      file with agent SITEID as a search for TEXT and show where its markers landed",
                    true,
                    true);
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    const std::vector<std::string>& words = commandLine.positionals();
    if (!words.empty() && !(words[0] == "url" && words.size() == 3)
        && !(words[0] == "test" && words.size() >= 3)) {
        return UsageError(
            ctx, kCommand, "Expected no argument, or: url SITEID TEXT, or: test SITEID --page FILE TEXT.");
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
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    AgentConfiguration config;
    std::int32_t status = config.Load(file);
    bool json = commandLine.Has("--json");
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
