#include "core/common/program_version.h"
#include "server/server_commands.h"

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

namespace
{

void PrintUsage(std::ostream& out)
{
    out << "Usage: tallyhawk-server COMMAND [ARGS...]\n"
           "       tallyhawk-server --version\n\n"
           "A local stand-in for the Tallyhawk service: its deal server and its site.\n\n"
           "Commands:\n"
           "  serve [--db FILE] [--host ADDR] [--port P] [--http-port H] [--version TEXT]\n"
           "        [--config-file FILE] [--demo [--every SECONDS]]\n"
           "                  serve the deal server (default 127.0.0.1:8022) and the site (8080),\n"
           "                  polling the feeds on their schedule\n"
           "  post --kind coupon|deal|topic --title TEXT --category NAME [--store NAME]\n"
           "        [--date SECONDS|YYYY-MM-DD] [--hot] [--description TEXT] [--extra TEXT] [--db FILE]\n"
           "                  post one item\n"
           "  import FILE [--all-or-nothing] [--db FILE]\n"
           "                  post the items of a file of JSON lines, up to the first bad one\n"
           "                  (or none of them when one is bad, with --all-or-nothing)\n"
           "  feeds add URL --kind deal|coupon|topic [--store NAME] [--category NAME]\n"
           "        [--every MINUTES] [--title TEXT] [--db FILE]\n"
           "                  subscribe to an RSS, Atom or JSON feed (fetched once first to show it)\n"
           "  feeds list [--json] [--db FILE]\n"
           "  feeds remove ID [--db FILE]\n"
           "  feeds poll [ID] [--db FILE]\n"
           "                  fetch every feed (or one) now; serve fetches them on their schedule\n"
           "  stores add NAME [--db FILE]\n"
           "  categories add NAME [--db FILE]\n"
           "                  add a store or category to the service's lists\n\n"
           "The items live in an SQLite file, tallyhawk-server.db in the current folder unless --db names "
           "one.\n";
}

} // namespace

int main(int argc, char** argv)
{
    // Past the file size limit a write then fails with EFBIG and is reported, instead of the signal ending
    // the program in the middle of a record.
    std::signal(SIGXFSZ, SIG_IGN);
    using namespace tallyhawk::server;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintUsage(std::cerr);
        return kExitUsage;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        PrintUsage(std::cout);
        return kExitOk;
    }
    if (command == "--version") {
        std::cout << "tallyhawk-server " << tallyhawk::kReleaseVersion << "\n";
        return kExitOk;
    }
    if (command == "serve") {
        return RunServe(args);
    }
    if (command == "post") {
        return RunPost(args);
    }
    if (command == "import") {
        return RunImport(args);
    }
    if (command == "feeds") {
        return RunFeeds(args);
    }
    if (command == "stores" || command == "categories") {
        return RunListAdd(command, args);
    }
    std::cerr << "tallyhawk-server: Unknown command " << command << ". See 'tallyhawk-server --help'.\n";
    return kExitUsage;
}
