#pragma once

#include "cli/cli_context.h"

#include <optional>
#include <string>
#include <vector>

namespace tallyhawk::cli
{

// The action word of a command with actions ("lists show ...", "config set ..."): the first word that
// is not the data folder option, which may stand before or after it.
struct SubcommandAction
{
    std::optional<std::string> action;
    std::vector<std::string> rest; // the words without the action
    bool helpRequested = false; // --help before any action

    static SubcommandAction Split(const std::vector<std::string>& args);
};

// Without an action: the command's usage on stdout for --help (exit 0), else on stderr (exit 2).
int ActionUsage(CliContext& ctx, const SubcommandAction& split, const std::string& usage);

} // namespace tallyhawk::cli
