#include "cli/time_limit_option.h"

namespace tallyhawk::cli
{

namespace
{

constexpr long long kMaxSeconds = 24 * 60 * 60;

} // namespace

void AddTimeLimitOption(CommandLine& commandLine, const std::string& what, std::chrono::seconds defaultLimit)
{
    commandLine.Option("--time-limit",
                       "SECONDS",
                       "give up " + what + ", however slowly the answer keeps coming (default "
                           + std::to_string(defaultLimit.count()) + ")");
}

std::optional<int> ReadTimeLimit(CliContext& ctx,
                                 const CommandLine& commandLine,
                                 const std::string& command,
                                 std::chrono::seconds defaultLimit,
                                 std::chrono::milliseconds& limit)
{
    limit = defaultLimit;
    if (std::optional<std::string> text = commandLine.Value("--time-limit")) {
        std::optional<long long> seconds = ParseInteger(*text);
        if (!seconds || *seconds < 1 || *seconds > kMaxSeconds) {
            return UsageError(ctx,
                              command,
                              "The time limit must be a whole number of seconds from 1 to "
                                  + std::to_string(kMaxSeconds) + ".");
        }
        limit = std::chrono::seconds(*seconds);
    }
    return std::nullopt;
}

} // namespace tallyhawk::cli
