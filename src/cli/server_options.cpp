#include "cli/server_options.h"

#include "core/common/display_text.h"
#include "core/settings/settings.h"

namespace tallyhawk::cli
{

ServerEndpoint DefaultServerEndpoint()
{
    // The desktop program reads the same values, so both talk to one server.
    Settings settings;
    return {settings.serverAddress, settings.serverPort};
}

void AddServerOptions(CommandLine& commandLine)
{
    const ServerEndpoint defaults = DefaultServerEndpoint();
    commandLine.Option("--host", "HOST", "deal server name or dotted address (default " + defaults.host + ")")
        .Option("--port", "PORT", "deal server TCP port (default " + std::to_string(defaults.port) + ")");
}

std::optional<int> ReadServerEndpoint(CliContext& ctx,
                                      const CommandLine& commandLine,
                                      const std::string& command,
                                      ServerEndpoint& endpoint)
{
    endpoint = DefaultServerEndpoint();
    if (std::optional<std::string> host = commandLine.Value("--host")) {
        if (host->empty()) {
            return UsageError(ctx, command, "The host name is empty.");
        }
        endpoint.host = *host;
    }
    if (std::optional<std::string> port = commandLine.Value("--port")) {
        std::optional<long long> number = ParseInteger(*port);
        if (!number || *number < 1 || *number > 65535) {
            return UsageError(ctx, command, "The port must be a number from 1 to 65535.");
        }
        endpoint.port = static_cast<std::int32_t>(*number);
    }
    return std::nullopt;
}

} // namespace tallyhawk::cli
