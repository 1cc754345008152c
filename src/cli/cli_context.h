#pragma once

#include "cli/command_line.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk::cli
{

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// What every subcommand gets: where to print, whether stderr is a terminal (for progress), and whether
// stdout is one (raw bytes from the network must not reach a terminal).
struct CliContext
{
    std::ostream& out;
    std::ostream& err;
    bool stderrIsTerminal = false;
    bool stdoutIsTerminal = false;
};

// Parses the subcommand's arguments. Returns an exit code when the command must end here (help was
// printed, or a usage error was reported), nothing when it should go on.
std::optional<int>
ParseArguments(CliContext& ctx, CommandLine& commandLine, const std::vector<std::string>& args);

// Reports a usage error as one sentence and returns 2.
int UsageError(CliContext& ctx, const std::string& command, const std::string& message);

// Reports a failure of the work as one sentence and returns 1.
int Failure(CliContext& ctx, const std::string& message);

// Resolves the data folder from --data-dir or the environment, creates it and makes it current.
bool EnterDataFolder(CliContext& ctx, const CommandLine& commandLine);

} // namespace tallyhawk::cli
