#include "cli/commands.h"
#include "cli/pinned_clock.h"
#include "core/common/program_version.h"

#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

namespace
{

using tallyhawk::cli::CliContext;

struct Command
{
    const char* name;
    const char* summary;
    int (*run)(CliContext&, const tallyhawk::cli::Arguments&);
};

constexpr Command kCommands[] = {
    {"server-version", "print the deal server's version text", tallyhawk::cli::RunServerVersion},
    {"fetch-items", "ask the deal server for new coupons, deals or topics", tallyhawk::cli::RunFetchItems},
    {"update", "run the update cycle of a program start", tallyhawk::cli::RunUpdate},
    {"watch", "run the update cycle, then a download pass every few minutes", tallyhawk::cli::RunWatch},
    {"items", "list, count, mark read, delete and archive stored items", tallyhawk::cli::RunItems},
    {"products",
     "add, change, purchase, skip, delete and list shopping-list products",
     tallyhawk::cli::RunProducts},
    {"purchases", "list and delete the purchase history", tallyhawk::cli::RunPurchases},
    {"shopping", "archive the shopping files and count the products", tallyhawk::cli::RunShopping},
    {"lists", "show, add to and update the store and category lists", tallyhawk::cli::RunLists},
    {"site-url", "print or open an address of the service's site", tallyhawk::cli::RunSiteUrl},
    {"config", "show and change the settings", tallyhawk::cli::RunConfig},
    {"download", "download a file of the service's site", tallyhawk::cli::RunDownload},
    {"fetch-page", "fetch a web page as the price comparison does", tallyhawk::cli::RunFetchPage},
    {"agents",
     "list the price comparison agents, build their search addresses, test them on a page",
     tallyhawk::cli::RunAgents},
    {"compare",
     "compare online prices for an item with the agents of a category",
     tallyhawk::cli::RunCompare},
    {"comparisons",
     "list the saved price comparisons, show and delete their offers",
     tallyhawk::cli::RunComparisons},
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

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    // A --data-dir given before the command applies to it like one given after.
    std::vector<std::string> global;
    while (!args.empty() && args.front().rfind("--data-dir", 0) == 0) {
        global.push_back(args.front());
        args.erase(args.begin());
        if (global.back() == "--data-dir") {
            if (args.empty() || args.front().empty()) {
                std::cerr << "tallyhawk-cli: --data-dir needs the data folder after it.\n";
                return tallyhawk::cli::kExitUsage;
            }
            global.push_back(args.front());
            args.erase(args.begin());
        } else if (global.back() == "--data-dir=") {
            std::cerr << "tallyhawk-cli: --data-dir needs the data folder after it.\n";
            return tallyhawk::cli::kExitUsage;
        }
    }
    const tallyhawk::cli::PinnedClock pinnedClock;
    CliContext ctx{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1, ::isatty(STDOUT_FILENO) == 1};
    if (args.empty()) {
        PrintUsage(std::cerr);
        return tallyhawk::cli::kExitUsage;
    }
    if (args.front() == "--help" || args.front() == "-h" || args.front() == "help") {
        PrintUsage(std::cout);
        return tallyhawk::cli::kExitOk;
    }
    if (args.front() == "--version") {
        std::cout << "tallyhawk-cli " << tallyhawk::kReleaseVersion << "\n";
        return tallyhawk::cli::kExitOk;
    }
    for (const Command& command : kCommands) {
        if (args.front() == command.name) {
            std::vector<std::string> rest(args.begin() + 1, args.end());
            rest.insert(rest.end(), global.begin(), global.end());
            return command.run(ctx, rest);
        }
    }
    std::cerr << "tallyhawk-cli: Unknown command " << args.front() << ". See 'tallyhawk-cli --help'.\n";
    return tallyhawk::cli::kExitUsage;
}
