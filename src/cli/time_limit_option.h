#pragma once

#include "cli/cli_context.h"
#include "cli/command_line.h"

#include <chrono>
#include <optional>
#include <string>

namespace tallyhawk::cli
{

// Adds --time-limit SECONDS: the most a whole request may take, `what` saying from when.
void AddTimeLimitOption(CommandLine& commandLine, const std::string& what, std::chrono::seconds defaultLimit);

// The --time-limit value, or `defaultLimit` without one. Returns an exit code when it is unusable.
std::optional<int> ReadTimeLimit(CliContext& ctx,
                                 const CommandLine& commandLine,
                                 const std::string& command,
                                 std::chrono::seconds defaultLimit,
                                 std::chrono::milliseconds& limit);

} // namespace tallyhawk::cli
