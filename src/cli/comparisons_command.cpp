#include "cli/commands.h"
#include "cli/json_list_writer.h"
#include "cli/offer_output.h"
#include "cli/subcommand_action.h"
#include "cli/time_filter_options.h"
#include "core/common/display_text.h"
#include "core/common/status.h"
#include "core/common/time_span.h"
#include "core/compare/search_index.h"

#include <ctime>
#include <filesystem>
#include <limits>
#include <ostream>

namespace tallyhawk::cli
{
namespace
{

constexpr const char* kCommand = "comparisons";

std::string LocalDateTime(std::int32_t seconds)
{
    const std::time_t time = seconds;
    std::tm local{};
    char text[32] = "";
    if (localtime_r(&time, &local) != nullptr) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    }
    return text;
}

nlohmann::ordered_json RecordJson(const SearchRecord& record)
{
    return {{"id", record.id},
            {"categoryId", record.categoryId},
            {"savedAt", record.savedAt},
            {"name", DisplayText(record.name)},
            {"deleted", record.deleted}};
}

std::string ResultsFailure(const std::string& path, std::int32_t status)
{
    switch (status) {
    case kCannotOpen:
        return "The offers of this comparison cannot be read: " + path + " is missing or not accessible.";
    case kBadFormat:
        return path + " is cut short: only the offers before the damage are shown.";
    default:
        return path + " is damaged: its markers are wrong (status " + std::to_string(status) + ").";
    }
}

// The results file of a saved comparison, in the data folder; none with `exit` set when there is no
// such comparison or no data folder.
std::optional<std::string>
ResultsFile(CliContext& ctx, const CommandLine& commandLine, std::int32_t id, int& exit)
{
    if (!EnterDataFolder(ctx, commandLine)) {
        exit = kExitFailure;
        return std::nullopt;
    }
    std::string path = SearchIndex().ResultsPath(id);
    if (!std::filesystem::exists(path)) {
        exit = Failure(ctx, "There is no saved comparison " + std::to_string(id) + ".");
        return std::nullopt;
    }
    return path;
}

int RunList(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine("comparisons list",
                            "Print the saved price comparisons, newest first. Without time options: the\n"
                            "last 7 days, as the window starts.");
    AddTimeOptions(commandLine, "comparisons saved");
    commandLine.Option("--search", "WORDS", "comparisons whose item name holds every word")
        .Flag("--json", "machine-readable output");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    ItemFilter filter;
    std::string error;
    if (!ApplyTimeOptions(commandLine, filter, TimeSpan::kLast7Days, error)) {
        return UsageError(ctx, "comparisons list", error);
    }
    if (std::optional<std::string> words = commandLine.Value("--search"); words && !words->empty()) {
        filter.keyword = *words;
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    SearchIndex index;
    std::int32_t status = kOk;
    // Before the first comparison is saved there is no index: an empty list, not a failure.
    if (std::filesystem::exists(SearchIndex::kIndexFile)) {
        status = index.Load(&filter);
        if (status == kCannotOpen) {
            return Failure(ctx, std::string(SearchIndex::kIndexFile) + " cannot be opened.");
        }
    }
    if (commandLine.Has("--json")) {
        JsonListWriter list(ctx.out, index.Count(), "comparisons");
        for (const SearchRecord& record : index.records()) {
            list.Add(RecordJson(record));
        }
    } else {
        for (const SearchRecord& record : index.records()) {
            ctx.out << record.id << "\t" << LocalDateTime(record.savedAt) << "\tcategory "
                    << record.categoryId << "\t" << TerminalText(record.name) << "\n";
        }
        ctx.out << index.Count() << (index.Count() == 1 ? " comparison\n" : " comparisons\n");
    }
    if (status != kOk) {
        return Failure(ctx,
                       std::string(SearchIndex::kIndexFile)
                           + " is damaged: only the comparisons before the damage are shown.");
    }
    return kExitOk;
}

int RunShow(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine("comparisons show",
                            "Print the offers of a saved comparison, highest price first.");
    commandLine.Positional("ID", "the comparison's id").Flag("--json", "machine-readable output");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    std::optional<std::int32_t> id = ParseInt32(commandLine.positionals()[0]);
    if (!id) {
        return UsageError(ctx, "comparisons show", "ID must be a whole number.");
    }
    int exit = kExitOk;
    const std::optional<std::string> path = ResultsFile(ctx, commandLine, *id, exit);
    if (!path) {
        return exit;
    }
    ResultList offers;
    const std::int32_t status = offers.Load(*path);
    if (status == kCannotOpen) {
        return Failure(ctx, ResultsFailure(*path, status));
    }
    if (commandLine.Has("--json")) {
        ctx.out << ComparisonJson(*id, offers).dump(2) << "\n";
    } else {
        PrintOffers(ctx.out, offers);
    }
    return status == kOk ? kExitOk : Failure(ctx, ResultsFailure(*path, status));
}

int RunDeleteOffer(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine("comparisons delete-offer", "Delete one offer from a saved comparison.");
    commandLine.Positional("ID", "the comparison's id").Positional("OFFERID", "the offer's id");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    std::optional<std::int32_t> id = ParseInt32(commandLine.positionals()[0]);
    std::optional<std::int32_t> offerId = ParseInt32(commandLine.positionals()[1]);
    if (!id || !offerId) {
        return UsageError(ctx, "comparisons delete-offer", "ID and OFFERID must be whole numbers.");
    }
    int exit = kExitOk;
    const std::optional<std::string> path = ResultsFile(ctx, commandLine, *id, exit);
    if (!path) {
        return exit;
    }
    ResultList offers;
    // Rewriting a damaged file would drop the offers after the damage for good.
    if (std::int32_t status = offers.Load(*path); status != kOk) {
        return Failure(ctx, ResultsFailure(*path, status) + " Nothing was deleted.");
    }
    const std::size_t before = offers.Count();
    offers.RemoveById(*offerId);
    if (offers.Count() == before) {
        return Failure(
            ctx, "Comparison " + std::to_string(*id) + " has no offer " + std::to_string(*offerId) + ".");
    }
    if (std::int32_t status = offers.Save(*path); status != kOk) {
        return Failure(
            ctx, "Cannot rewrite " + *path + " (status " + std::to_string(status) + "); it is unchanged.");
    }
    ctx.out << "Deleted offer " << *offerId << " from comparison " << *id << ".\n";
    return kExitOk;
}

std::string Usage()
{
    return "Usage: tallyhawk-cli comparisons ACTION [ARGS...]\n\n"
           "Actions:\n"
           "  list [--days N | --from D --to D] [--search WORDS] [--json]   the saved comparisons, newest "
           "first\n"
           "  show ID [--json]                                             the offers of one comparison\n"
           "  delete-offer ID OFFERID                                      delete one offer\n\n"
           "Run 'tallyhawk-cli comparisons ACTION --help' for the options of one action.\n";
}

} // namespace

int RunComparisons(CliContext& ctx, const Arguments& args)
{
    return DispatchAction(ctx,
                          kCommand,
                          args,
                          Usage(),
                          {
                              {"list", RunList},
                              {"show", RunShow},
                              {"delete-offer", RunDeleteOffer},
                          });
}

} // namespace tallyhawk::cli
