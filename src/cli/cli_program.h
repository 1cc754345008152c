#pragma once

#include "cli/cli_context.h"

#include <string>
#include <vector>

namespace tallyhawk::cli
{

// The whole of tallyhawk-cli for the words after the program's name: a --data-dir before the command,
// --help and --version, then the command itself, with the clock pinned by $TALLYHAWK_NOW for the run.
// Prints to `ctx` only and returns the exit status, so the executable is a few lines and tests run the
// commands in their own process.
int RunCliProgram(CliContext& ctx, std::vector<std::string> args);

} // namespace tallyhawk::cli
