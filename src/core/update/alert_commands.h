#pragma once

#include "core/store/alert_memory.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk
{

// The user's commands on alerts, the same from a popup, a row, the tray and the command line: mute and
// unmute a store or category, pause alerts for a while and resume them. Each opens the alert memory of
// the data folder for the call, so any thread may run one; false when the memory cannot be written or
// nothing changed.
class AlertCommands
{
public:
    static constexpr std::int32_t kPauseSeconds = 3600;

    explicit AlertCommands(std::filesystem::path folder)
        : file_(std::move(folder) / AlertMemory::kFileName)
    { }

    bool Mute(AlertMemory::Muted what, std::string_view name) const;
    bool Unmute(AlertMemory::Muted what, std::string_view name) const;
    std::vector<std::string> MutedNames(AlertMemory::Muted what) const;

    // Holds alerts from now for `seconds` (one hour by default); what arrives meanwhile is summed up
    // after it.
    bool Pause(std::int32_t seconds = kPauseSeconds) const;
    bool Resume() const;
    bool Paused() const;

    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
};

} // namespace tallyhawk
