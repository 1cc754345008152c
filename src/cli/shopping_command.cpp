#include "cli/commands.h"
#include "cli/file_failure.h"
#include "cli/shopping_failure.h"
#include "cli/subcommand_action.h"
#include "cli/time_filter_options.h"
#include "core/common/time_span.h"
#include "core/shopping/shopping_database.h"

#include <filesystem>
#include <ostream>

namespace tallyhawk::cli
{
namespace
{

int RunArchive(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        "shopping archive",
        "Rewrite product.dat and purchase.dat without deleted records and purchased One Time "
        "products, as the weekly upkeep does.");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    ShoppingDatabase database;
    database.Open({}, false);
    int exit = kExitOk;
    for (std::int32_t kind : {ShoppingDatabase::kProducts, ShoppingDatabase::kPurchases}) {
        const std::string file = ShoppingFileName(kind);
        std::error_code error;
        if (!std::filesystem::exists(file, error)) {
            ctx.out << file << " does not exist; nothing to archive.\n";
            continue;
        }
        const int before = database.CountRecords(kind);
        const int result = database.Archive(kind);
        if (result < 0) {
            exit = Failure(ctx, ShoppingFailureText(file, result));
            continue;
        }
        ctx.out << "Archived " << file << ": " << database.CountRecords(kind) << " of " << before
                << " undeleted records kept.\n";
    }
    return exit;
}

int RunCount(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        "shopping count",
        "Print how many products the shopping list holds (not deleted), or with --today how "
        "many are due today or overdue, as the summary page counts them.");
    commandLine.Flag("--today", "only the products due today or overdue");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    ShoppingDatabase database;
    database.Open({}, false);
    if (commandLine.Has("--today")) {
        ItemFilter filter;
        ApplySpan(filter, TimeSpan::kToday);
        ctx.out << database.CountMatching(ShoppingDatabase::kProducts, filter) << "\n";
    } else {
        ctx.out << database.CountRecords(ShoppingDatabase::kProducts) << "\n";
    }
    return kExitOk;
}

int RunRepair(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        "shopping repair",
        "Save the whole records of a damaged shopping file: they go into a new file that takes its "
        "place, and the damaged file is kept beside it with the ending .damaged.");
    commandLine.Positional("WHICH", "products (product.dat) or purchases (purchase.dat)");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    const std::string& which = commandLine.positionals()[0];
    if (which != "products" && which != "purchases") {
        return UsageError(ctx, "shopping repair", "WHICH must be products or purchases.");
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    const std::int32_t kind
        = which == "products" ? ShoppingDatabase::kProducts : ShoppingDatabase::kPurchases;
    const std::string file = ShoppingFileName(kind);
    std::error_code error;
    if (!std::filesystem::exists(file, error) && !error) {
        ctx.out << file << " does not exist; nothing to repair.\n";
        return kExitOk;
    }
    ShoppingDatabase database;
    database.Open({}, false);
    return ReportRepair(ctx, file, database.Repair(kind));
}

} // namespace

int RunShopping(CliContext& ctx, const Arguments& args)
{
    const std::string usage
        = "Usage: tallyhawk-cli shopping ACTION [ARGS...]\n\n"
          "Actions:\n"
          "  archive                  drop deleted records and purchased One Time products\n"
          "  count [--today]          the number of products (due today or overdue)\n"
          "  repair products|purchases  save the whole records of a damaged shopping file\n\n"
          "Run 'tallyhawk-cli shopping ACTION --help' for the options of one action.\n";
    return DispatchAction(
        ctx, "shopping", args, usage, {{"archive", RunArchive}, {"count", RunCount}, {"repair", RunRepair}});
}

} // namespace tallyhawk::cli
