#pragma once

#include "cli/cli_context.h"
#include "cli/command_line.h"
#include "core/protocol/server_failure.h"

#include <chrono>
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
    // How long a request may take once connected.
    std::chrono::milliseconds timeLimit{0};
};

// The server to use when no option names one.
ServerEndpoint DefaultServerEndpoint();

// Adds --host, --port and --time-limit to a deal server command.
void AddServerOptions(CommandLine& commandLine);

// --host, --port and --time-limit over the defaults. Returns an exit code when the options are
// unusable.
std::optional<int> ReadServerEndpoint(CliContext& ctx,
                                      const CommandLine& commandLine,
                                      const std::string& command,
                                      ServerEndpoint& endpoint);

// "The deal server at HOST:PORT gave no WHAT: REASON." for a failed request.
std::string
ServerFailureMessage(const ServerEndpoint& endpoint, const std::string& what, ServerFailure failure);

} // namespace tallyhawk::cli
