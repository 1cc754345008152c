#include "cli/cli_context.h"

#include "core/platform/data_folder.h"

#include <ostream>

namespace tallyhawk::cli
{

std::optional<int>
ParseArguments(CliContext& ctx, CommandLine& commandLine, const std::vector<std::string>& args)
{
    std::string error;
    if (!commandLine.Parse(args, error)) {
        ctx.err << "tallyhawk-cli: " << error << "\n" << commandLine.Help();
        return kExitUsage;
    }
    if (commandLine.helpRequested()) {
        ctx.out << commandLine.Help();
        return kExitOk;
    }
    return std::nullopt;
}

int UsageError(CliContext& ctx, const std::string& command, const std::string& message)
{
    ctx.err << "tallyhawk-cli: " << message << " See 'tallyhawk-cli " << command << " --help'.\n";
    return kExitUsage;
}

int Failure(CliContext& ctx, const std::string& message)
{
    ctx.err << "tallyhawk-cli: " << message << "\n";
    return kExitFailure;
}

bool EnterDataFolder(CliContext& ctx, const CommandLine& commandLine)
{
    std::string error;
    if (!PrepareDataFolder(ResolveDataFolder(commandLine.Value("--data-dir")), error)) {
        ctx.err << "tallyhawk-cli: " << error << "\n";
        return false;
    }
    return true;
}

} // namespace tallyhawk::cli
