#include "core/update/alert_commands.h"

#include "core/common/clock.h"

#include <limits>

namespace tallyhawk
{

bool AlertCommands::Mute(AlertMemory::Muted what, std::string_view name) const
{
    return AlertMemory(file_).Mute(what, name);
}

bool AlertCommands::Unmute(AlertMemory::Muted what, std::string_view name) const
{
    return AlertMemory(file_).Unmute(what, name);
}

std::vector<std::string> AlertCommands::MutedNames(AlertMemory::Muted what) const
{
    return AlertMemory(file_).MutedNames(what);
}

bool AlertCommands::Pause(std::int32_t seconds) const
{
    const std::int64_t until = std::int64_t{Clock::Now()} + std::max(seconds, 0);
    return AlertMemory(file_).SetPausedUntil(
        static_cast<std::int32_t>(std::min<std::int64_t>(until, std::numeric_limits<std::int32_t>::max())));
}

bool AlertCommands::Resume() const
{
    return AlertMemory(file_).SetPausedUntil(0);
}

bool AlertCommands::Paused() const
{
    return AlertMemory(file_).PausedUntil() > Clock::Now();
}

} // namespace tallyhawk
