#pragma once

#include "cli/cli_context.h"
#include "cli/command_line.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tallyhawk::cli
{

// Where the deal server commands connect.
struct ServerEndpoint
{
    std::string host;
    std::int32_t port = 0;
};

// The server to use when no option names one.
ServerEndpoint DefaultServerEndpoint();

// Adds --host and --port to a deal server command.
void AddServerOptions(CommandLine& commandLine);

// --host and --port over the defaults. Returns an exit code when the options are unusable.
std::optional<int> ReadServerEndpoint(CliContext& ctx,
                                      const CommandLine& commandLine,
                                      const std::string& command,
                                      ServerEndpoint& endpoint);

} // namespace tallyhawk::cli
