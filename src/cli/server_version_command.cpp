#include "cli/commands.h"
#include "cli/server_options.h"
#include "core/common/display_text.h"
#include "core/protocol/server_connection.h"

#include <nlohmann/json.hpp>
#include <ostream>

namespace tallyhawk::cli
{

namespace
{
constexpr const char* kCommand = "server-version";
}

int RunServerVersion(CliContext& ctx, const Arguments& args)
{
    CommandLine commandLine(kCommand, "Print the deal server's version text.");
    AddServerOptions(commandLine);
    commandLine.Flag("--json", "machine-readable output");
    if (std::optional<int> exit = ParseArguments(ctx, commandLine, args)) {
        return *exit;
    }
    ServerEndpoint endpoint;
    if (std::optional<int> exit = ReadServerEndpoint(ctx, commandLine, kCommand, endpoint)) {
        return *exit;
    }
    ServerConnection connection;
    connection.Configure(endpoint.host, endpoint.port);
    connection.SetRequestLimit(endpoint.timeLimit);
    std::optional<std::string> version = connection.FetchVersion();
    if (!version) {
        return Failure(ctx, ServerFailureMessage(endpoint, "version", connection.lastFailure()));
    }
    if (commandLine.Has("--json")) {
        ctx.out << nlohmann::ordered_json{{"version", DisplayText(*version)}}.dump(2) << "\n";
    } else {
        ctx.out << TerminalText(*version) << "\n";
    }
    return kExitOk;
}

} // namespace tallyhawk::cli
