#pragma once

#include "cli/cli_context.h"

#include <functional>
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

// One action of a command and the function that runs it with the words after the action.
struct ActionEntry
{
    const char* name;
    std::function<int(CliContext&, const std::vector<std::string>&)> run;
};

// Runs the action the words name. Without one: `usage` on stdout for --help (exit 0), else on stderr
// (exit 2); an unknown action is a usage error.
int DispatchAction(CliContext& ctx,
                   const std::string& command,
                   const std::vector<std::string>& args,
                   const std::string& usage,
                   const std::vector<ActionEntry>& actions);

} // namespace tallyhawk::cli
