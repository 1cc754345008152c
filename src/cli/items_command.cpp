#include "cli/commands.h"
#include "cli/file_failure.h"
#include "cli/item_output.h"
#include "cli/json_list_writer.h"
#include "cli/subcommand_action.h"
#include "cli/time_filter_options.h"
#include "cli/view_filter_options.h"
#include "core/common/display_text.h"
#include "core/common/time_span.h"
#include "core/store/item_store.h"
#include "core/store/item_text.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>
#include <ostream>

namespace tallyhawk::cli
{
namespace
{

constexpr const char* kCommand = "items";

// "deals" are the coupons and deals of "deal.lst", "topics" the forum topics of "topic.lst".
std::optional<std::string> ListFile(const std::string& which)
{
    if (which == "deals") {
        return std::string("deal.lst");
    }
    if (which == "topics") {
        return std::string("topic.lst");
    }
    return std::nullopt;
}

std::string FailureText(const std::string& file, int status)
{
    switch (status) {
    case kCannotOpen:
        return file + CannotOpenReason(file);
    case kBadFormat:
        return DamagedText(file, ItemsRepairCommand(file));
    case kCannotReplace:
        return file + " could not be replaced by its archived copy; it is unchanged.";
    default:
        return file + " could not be processed (status " + std::to_string(status) + ").";
    }
}

bool Missing(const std::string& file)
{
    std::error_code error;
    return !std::filesystem::exists(file, error) && !error;
}

int RunList(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine("items list", "Print the stored items of a view, newest first.");
    AddTimeOptions(commandLine, "items that arrived");
    commandLine.Option("--store", "ID", "items of this store")
        .Option("--category", "ID", "items of this category")
        .Option("--search", "WORDS", "items whose title, store, category or description hold every word")
        .Flag("--hot", "only the hot items")
        .Flag("--json", "machine-readable output")
        .Positional("WHICH", "deals (coupons and deals) or topics (forum topics)");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    std::optional<std::string> file = ListFile(commandLine.positionals()[0]);
    if (!file) {
        return UsageError(ctx, "items list", "WHICH must be deals or topics.");
    }
    std::string error;
    std::optional<ItemFilter> filter = FilterFromOptions(commandLine, error);
    if (!filter) {
        return UsageError(ctx, "items list", error);
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    ItemStore store;
    store.Open(*file);
    int status = kOk;
    // A list file that was never written holds no items yet: that is an empty view, not a failure.
    if (!Missing(*file)) {
        status = commandLine.Has("--hot") ? store.LoadHot(*filter) : store.Load(*filter);
        if (status == kCannotOpen) {
            return Failure(ctx, FailureText(*file, status));
        }
    }
    // Record by record from the view, so the output never holds a second copy of a large list.
    const std::size_t count = store.Count();
    if (commandLine.Has("--json")) {
        JsonListWriter list(ctx.out, count, "items");
        for (std::size_t i = 0; i < count; ++i) {
            list.Add(RecordJson(*store.At(i)));
        }
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            PrintRecord(ctx.out, *store.At(i));
        }
        ctx.out << count << (count == 1 ? " item\n" : " items\n");
    }
    if (status < 0) {
        return Failure(ctx,
                       DamagedText(*file, ItemsRepairCommand(*file))
                           + " Only the items before the damage are shown.");
    }
    return kExitOk;
}

int RunCount(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine("items count", "Print how many undeleted items a list file holds.");
    commandLine.Flag("--today", "only the items that arrived today")
        .Positional("WHICH", "deals (coupons and deals) or topics (forum topics)");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    std::optional<std::string> file = ListFile(commandLine.positionals()[0]);
    if (!file) {
        return UsageError(ctx, "items count", "WHICH must be deals or topics.");
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    ItemFilter filter;
    if (commandLine.Has("--today")) {
        ApplySpan(filter, TimeSpan::kToday);
    }
    if (Missing(*file)) {
        ctx.out << "0\n";
        return kExitOk;
    }
    ItemStore store;
    store.Open(*file);
    int status = kOk;
    const int count = store.CountMatching(filter, &status);
    if (status == kCannotOpen) {
        return Failure(ctx, FailureText(*file, status));
    }
    ctx.out << count << "\n";
    if (status < 0) {
        return Failure(ctx,
                       DamagedText(*file, ItemsRepairCommand(*file))
                           + " Only the items before the damage are counted.");
    }
    return kExitOk;
}

int RunMark(CliContext& ctx, const Arguments& args, bool remove)
{
    const std::string name = remove ? "items delete" : "items mark-read";
    CommandLine commandLine(name,
                            remove
                                ? "Delete an item: it is flagged in its file and dropped at the next archive."
                                : "Mark an item as read in its file.");
    commandLine.Positional("WHICH", "deals (coupons and deals) or topics (forum topics)")
        .Positional("ID", "the item's id")
        .Positional("KIND", "the item's kind: 1 coupon, 2 deal, 3 forum topic");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    std::optional<std::string> file = ListFile(commandLine.positionals()[0]);
    if (!file) {
        return UsageError(ctx, name, "WHICH must be deals or topics.");
    }
    std::optional<std::int32_t> id = ParseInt32(commandLine.positionals()[1]);
    std::optional<std::int32_t> kind = ParseInt32(commandLine.positionals()[2]);
    if (!id || !kind) {
        return UsageError(ctx, name, "ID and KIND must be whole numbers.");
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    const std::string which = "id " + std::to_string(*id) + " and kind " + std::to_string(*kind);
    if (Missing(*file)) {
        return Failure(ctx, "No item with " + which + " in " + *file + ".");
    }
    ItemStore store;
    store.Open(*file);
    const int result = remove ? store.Delete(*id, *kind) : store.MarkRead(*id, *kind);
    if (result == kNoSuchRecord) {
        return Failure(ctx, "No item with " + which + " in " + *file + ".");
    }
    if (result < 0) {
        return Failure(ctx, FailureText(*file, result));
    }
    ctx.out << (remove ? "Deleted the item with " : "Marked the item with ") << which << " in " << *file
            << (remove ? ".\n" : " as read.\n");
    return kExitOk;
}

int RunArchive(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        "items archive",
        "Rewrite deal.lst and topic.lst without deleted items, items that expired more than "
        "5 days ago and undated items older than 90 days.");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    int exit = kExitOk;
    for (const char* file : {"deal.lst", "topic.lst"}) {
        if (Missing(file)) {
            ctx.out << file << " does not exist; nothing to archive.\n";
            continue;
        }
        ItemStore store;
        store.Open(file);
        const int before = store.CountMatching(ItemFilter());
        const int result = store.Archive();
        if (result < 0) {
            exit = Failure(ctx, FailureText(file, result));
            continue;
        }
        const int after = store.CountMatching(ItemFilter());
        ctx.out << "Archived " << file << ": " << after << " of " << before << " undeleted items kept.\n";
    }
    return exit;
}

int RunRepair(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(
        "items repair",
        "Save the whole records of a damaged list file: they go into a new file that takes its place, "
        "and the damaged file is kept beside it with the ending .damaged.");
    commandLine.Positional("WHICH", "deals (coupons and deals) or topics (forum topics)");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    std::optional<std::string> file = ListFile(commandLine.positionals()[0]);
    if (!file) {
        return UsageError(ctx, "items repair", "WHICH must be deals or topics.");
    }
    if (!EnterDataFolder(ctx, commandLine)) {
        return kExitFailure;
    }
    if (Missing(*file)) {
        ctx.out << *file << " does not exist; nothing to repair.\n";
        return kExitOk;
    }
    ItemStore store;
    store.Open(*file);
    return ReportRepair(ctx, *file, store.Repair());
}

std::string Usage()
{
    return "Usage: tallyhawk-cli items ACTION [ARGS...]\n\n"
           "Actions:\n"
           "  list deals|topics [options]       print the items of a view, newest first\n"
           "  count deals|topics [--today]      print how many undeleted items a list holds\n"
           "  mark-read deals|topics ID KIND    mark an item as read\n"
           "  delete deals|topics ID KIND       delete an item\n"
           "  archive                           drop deleted and stale items from both lists\n"
           "  repair deals|topics               save the whole records of a damaged list\n\n"
           "Run 'tallyhawk-cli items ACTION --help' for the options of one action.\n";
}

} // namespace

int RunItems(CliContext& ctx, const Arguments& args)
{
    return DispatchAction(ctx,
                          kCommand,
                          args,
                          Usage(),
                          {
                              {"list", RunList},
                              {"count", RunCount},
                              {"mark-read",
                               [](CliContext& c, const Arguments& a) {
                                   return RunMark(c, a, false);
                               }},
                              {"delete",
                               [](CliContext& c, const Arguments& a) {
                                   return RunMark(c, a, true);
                               }},
                              {"archive", RunArchive},
                              {"repair", RunRepair},
                          });
}

} // namespace tallyhawk::cli
