#pragma once

#include "cli/cli_context.h"

#include <string>
#include <vector>

namespace tallyhawk::cli
{

// One function per subcommand; `args` are the words after the subcommand's name.
using Arguments = std::vector<std::string>;

int RunServerVersion(CliContext& ctx, const Arguments& args);
int RunFetchItems(CliContext& ctx, const Arguments& args);
int RunSiteUrl(CliContext& ctx, const Arguments& args);
int RunLists(CliContext& ctx, const Arguments& args); // show, add; update and refresh below
int RunListsUpdate(CliContext& ctx, const Arguments& args); // lists update stores|categories
int RunListsRefresh(CliContext& ctx, const Arguments& args); // lists refresh
int RunItems(CliContext& ctx, const Arguments& args);
int RunConfig(CliContext& ctx, const Arguments& args);
int RunDownload(CliContext& ctx, const Arguments& args);
int RunFetchPage(CliContext& ctx, const Arguments& args);
int RunAgents(CliContext& ctx, const Arguments& args);
int RunProducts(CliContext& ctx, const Arguments& args); // add, edit, purchase, skip, delete, list
int RunPurchases(CliContext& ctx, const Arguments& args); // list, delete
int RunShopping(CliContext& ctx, const Arguments& args); // archive, count
int RunCompare(CliContext& ctx, const Arguments& args);
int RunComparisons(CliContext& ctx, const Arguments& args);
int RunUpdate(CliContext& ctx, const Arguments& args);
int RunWatch(CliContext& ctx, const Arguments& args);
int RunMute(CliContext& ctx, const Arguments& args); // store, category, list
int RunUnmute(CliContext& ctx, const Arguments& args); // store, category
int RunRules(CliContext& ctx, const Arguments& args); // test

} // namespace tallyhawk::cli
