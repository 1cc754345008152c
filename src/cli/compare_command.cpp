#include "cli/commands.h"
#include "cli/offer_output.h"
#include "cli/stop_on_interrupt.h"
#include "core/common/display_text.h"
#include "core/common/status.h"
#include "core/compare/web_spider.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <limits>
#include <mutex>
#include <ostream>

namespace tallyhawk::cli
{
namespace
{

constexpr const char* kCommand = "compare";

// The progress of the run on stderr, one line per report, named by the reporting agent.
class ProgressLines : public SearchObserver
{
public:
    explicit ProgressLines(std::ostream& err)
        : err_(err)
    { }

    void AgentStarted(const WebAgent& agent) override { Line(Name(agent) + ": searching"); }
    void AgentDone(const WebAgent& agent, std::int32_t count) override
    {
        Line(Name(agent) + ": " + std::to_string(count) + " results");
    }
    void AgentFailed(const WebAgent& agent, std::int32_t) override { Line(Name(agent) + ": failed"); }
    void SearchDone(std::int32_t total) override
    {
        Line(total <= 0 ? std::string("Tallyhawk found no price comparison results.")
                        : "Tallyhawk found " + std::to_string(total) + " price comparison results.");
        std::lock_guard<std::mutex> guard(mutex_);
        done_ = true;
        changed_.notify_all();
    }

    // Waits until the search is done or the interrupt came.
    void WaitForDone(const StopOnInterrupt& interrupt)
    {
        std::unique_lock<std::mutex> hold(mutex_);
        std::stop_token stop = interrupt.flag();
        changed_.wait(hold, stop, [&] { return done_; });
    }

private:
    static std::string Name(const WebAgent& agent) { return TerminalText(agent.siteName.value_or("")); }

    void Line(const std::string& line)
    {
        err_ << line << "\n";
        err_.flush();
    }

    std::ostream& err_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    bool done_ = false;
};

std::string ConfigurationFailure(std::int32_t status, const std::string& file)
{
    std::string text = "There was an error while loading the web search agents configuration file.";
    if (status == kCannotOpen && !std::filesystem::exists(file)) {
        text += " There is no " + file + " yet: run 'tallyhawk-cli lists refresh' to download it.";
    }
    return text;
}

bool HasCategory(const AgentConfiguration& config, std::int32_t categoryId)
{
    return std::any_of(config.categories().begin(),
                       config.categories().end(),
                       [&](const AgentType& category) { return category.typeId == categoryId; });
}

std::string JoinWords(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

} // namespace

int RunCompare(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        kCommand,
        "Compare online prices: run every agent of webspider.xml that serves the category,\n"
        "show each agent's progress on stderr, save the offers as a new comparison and\n"
        "print them, highest price first. Ctrl-C stops the agents that are still searching.");
    commandLine.Option("--category", "ID", "the search category (a TypeId of webspider.xml)")
        .Flag("--json", "machine-readable output: {\"id\": N, \"offers\": [...]}")
        .Positional("TEXT", "the item name to search for", false, true);
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    std::optional<std::int32_t> category;
    if (std::optional<std::string> value = commandLine.Value("--category")) {
        category = ParseInt32(*value);
    }
    if (!category) {
        return UsageError(ctx, kCommand, "--category takes the whole number id of a search category.");
    }
    const std::string text = JoinWords(commandLine.positionals());
    if (text.empty()) {
        return UsageError(
            ctx, kCommand, "You must first enter the item name for the item that you want to search for.");
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }

    WebSpider spider;
    if (std::int32_t status = spider.LoadConfiguration(); status != kOk) {
        return Failure(ctx, ConfigurationFailure(status, spider.configurationPath()));
    }
    if (spider.configuration().CategoryCount() == 0) {
        return Failure(ctx,
                       "There are no search categories defined in the web search agents configuration file.");
    }
    const std::int32_t categoryId = *category;
    if (!HasCategory(spider.configuration(), categoryId)) {
        return Failure(ctx,
                       "There is no search category " + std::to_string(categoryId) + " in "
                           + spider.configurationPath() + ".");
    }

    ProgressLines progress(ctx.err);
    StopOnInterrupt interrupt;
    ctx.err << "Starting the price comparison search agents....\n";
    if (spider.Start(categoryId, text, &progress) == 0) {
        ctx.err << "There was an error while starting the price comparison.\n";
        return Failure(ctx, "There was an error while starting the search agents for the selected category.");
    }
    ctx.err << "Tallyhawk is comparing prices for your item....\n";
    {
        // Ctrl-C stops the agents; the run ends once every worker has made its report.
        std::stop_callback stopAgents(interrupt.flag(), [&spider] { spider.StopAll(); });
        progress.WaitForDone(interrupt);
        spider.WaitForWorkers();
    }
    spider.Detach(&progress);

    const ResultList results = spider.Results();
    std::int32_t id = 0;
    if (!results.empty()) {
        id = spider.SaveResults();
        if (id <= 0) {
            return Failure(
                ctx,
                "There was an error while saving the price comparison results. Please try your search "
                "again.");
        }
    }
    if (commandLine.Has("--json")) {
        ctx.out << ComparisonJson(id, results).dump(2) << "\n";
    } else {
        if (id > 0) {
            ctx.out << "Saved comparison " << id << ".\n";
        }
        PrintOffers(ctx.out, results);
    }
    return kExitOk;
}

} // namespace tallyhawk::cli
