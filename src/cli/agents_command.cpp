#include "cli/commands.h"
#include "core/common/display_text.h"
#include "core/compare/agent_configuration.h"

#include <filesystem>
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
    return {{"status", status}, {"categories", std::move(categories)}, {"agents", std::move(agents)}};
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

int RunUrl(CliContext& ctx,
           const AgentConfiguration& config,
           std::int32_t loadStatus,
           const std::string& file,
           const std::vector<std::string>& words,
           bool json)
{
    std::optional<long long> siteId = ParseInteger(words[1]);
    if (!siteId || *siteId < std::numeric_limits<std::int32_t>::min()
        || *siteId > std::numeric_limits<std::int32_t>::max()) {
        return UsageError(ctx, kCommand, "SITEID must be a whole number.");
    }
    std::shared_ptr<WebAgent> agent = config.FindAgent(static_cast<std::int32_t>(*siteId));
    if (!agent) {
        if (loadStatus != kOk) {
            return Failure(ctx, LoadFailureText(loadStatus, file));
        }
        return Failure(ctx, "There is no agent with SiteId " + std::to_string(*siteId) + " in " + file + ".");
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
    CommandLine commandLine(kCommand,
                            "List the price comparison categories and agents of the agent configuration, or\n"
                            "print one agent's search address: agents url SITEID TEXT.");
    commandLine
        .Option("--config", "FILE", "agent configuration to read (default webspider.xml of the data folder)")
        .Flag("--json", "machine-readable output")
        .Positional("url SITEID TEXT", "print the search address of agent SITEID for TEXT", true, true);
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    const std::vector<std::string>& words = commandLine.positionals();
    if (!words.empty() && (words[0] != "url" || words.size() != 3)) {
        return UsageError(ctx, kCommand, "Expected no argument, or: url SITEID TEXT.");
    }
    // A --config path is the user's, relative to where the command was started, not to the data folder.
    std::string file = "webspider.xml";
    if (std::optional<std::string> config = commandLine.Value("--config")) {
        std::error_code error;
        std::filesystem::path absolute = std::filesystem::absolute(*config, error);
        file = error ? *config : absolute.string();
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    AgentConfiguration config;
    std::int32_t status = config.Load(file);
    bool json = commandLine.Has("--json");
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
