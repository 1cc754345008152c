#include "cli/cli_program.h"

#include "cli/commands.h"
#include "cli/pinned_clock.h"
#include "core/common/program_version.h"

#include <ostream>
#include <string>
#include <vector>

namespace tallyhawk::cli
{
namespace
{

struct Command
{
    const char* name;
    const char* summary;
    int (*run)(CliContext&, const Arguments&);
};

constexpr Command kCommands[] = {
    {"server-version", "print the deal server's version text", RunServerVersion},
    {"fetch-items", "ask the deal server for new coupons, deals or topics", RunFetchItems},
    {"update", "run the update cycle of a program start", RunUpdate},
    {"watch", "run the update cycle, then a download pass every few minutes", RunWatch},
    {"mute", "stop alerting a store or category, or list the muted ones", RunMute},
    {"unmute", "alert a muted store or category again", RunUnmute},
    {"rules", "test a keyword rule against the stored items", RunRules},
    {"items", "list, count, mark read, delete and archive stored items", RunItems},
    {"products", "add, change, purchase, skip, delete and list shopping-list products", RunProducts},
    {"purchases", "list and delete the purchase history", RunPurchases},
    {"shopping", "archive the shopping files and count the products", RunShopping},
    {"lists", "show, add to and update the store and category lists", RunLists},
    {"site-url", "print or open an address of the service's site", RunSiteUrl},
    {"config", "show and change the settings", RunConfig},
    {"download", "download a file of the service's site", RunDownload},
    {"fetch-page", "fetch a web page as the price comparison does", RunFetchPage},
    {"agents",
     "list the price comparison agents, build their search addresses, test them on a page",
     RunAgents},
    {"compare", "compare online prices for an item with the agents of a category", RunCompare},
    {"comparisons", "list the saved price comparisons, show and delete their offers", RunComparisons},
};

void PrintUsage(std::ostream& out)
{
    out << "Usage: tallyhawk-cli [--data-dir DIR] COMMAND [ARGS...]\n"
           "       tallyhawk-cli --version\n\n"
           "The headless companion of the Tallyhawk shopping assistant.\n\nCommands:\n";
    for (const Command& command : kCommands) {
        out << "  " << command.name << std::string(16 - std::string(command.name).size(), ' ')
            << command.summary << "\n";
    }
    out << "\nRun 'tallyhawk-cli COMMAND --help' for the options of one command.\n";
}

} // namespace

int RunCliProgram(CliContext& ctx, std::vector<std::string> args)
{
    // A --data-dir given before the command applies to it like one given after.
    std::vector<std::string> global;
    while (!args.empty() && args.front().rfind("--data-dir", 0) == 0) {
        global.push_back(args.front());
        args.erase(args.begin());
        if (global.back() == "--data-dir") {
            if (args.empty() || args.front().empty()) {
                ctx.err << "tallyhawk-cli: --data-dir needs the data folder after it.\n";
                return kExitUsage;
            }
            global.push_back(args.front());
            args.erase(args.begin());
        } else if (global.back() == "--data-dir=") {
            ctx.err << "tallyhawk-cli: --data-dir needs the data folder after it.\n";
            return kExitUsage;
        }
    }
    const PinnedClock pinnedClock;
    if (args.empty()) {
        PrintUsage(ctx.err);
        return kExitUsage;
    }
    if (args.front() == "--help" || args.front() == "-h" || args.front() == "help") {
        PrintUsage(ctx.out);
        return kExitOk;
    }
    if (args.front() == "--version") {
        ctx.out << "tallyhawk-cli " << kReleaseVersion << "\n";
        return kExitOk;
    }
    for (const Command& command : kCommands) {
        if (args.front() == command.name) {
            std::vector<std::string> rest(args.begin() + 1, args.end());
            rest.insert(rest.end(), global.begin(), global.end());
            return command.run(ctx, rest);
        }
    }
    ctx.err << "tallyhawk-cli: Unknown command " << args.front() << ". See 'tallyhawk-cli --help'.\n";
    return kExitUsage;
}

} // namespace tallyhawk::cli
