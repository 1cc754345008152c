#pragma once

#include <string>

namespace tallyhawk
{

// The XDG autostart entry that starts the desktop program hidden (argument m) at login.
class AutostartEntry
{
public:
    // What a change of the entry did.
    enum class Result
    {
        Written, // the entry was written
        Removed, // the entry was removed
        NothingToRemove, // there was no entry to remove
        Skipped, // the autostart folder could not be changed
    };

    // The user's entry, at DefaultFilePath().
    AutostartEntry();
    // An entry at another path (tests).
    explicit AutostartEntry(std::string filePath);

    // $XDG_CONFIG_HOME/autostart/tallyhawk.desktop (or ~/.config/autostart/...).
    static std::string DefaultFilePath();
    const std::string& filePath() const { return filePath_; }

    // The Exec line's program word for a path: quoted and escaped when the path needs it.
    static std::string ExecWord(const std::string& path);

    // Writes the entry (whole or not at all) to start programPath with argument m: Written or Skipped.
    Result Write(const std::string& programPath) const;
    // Removes the entry: Removed, NothingToRemove or Skipped.
    Result Remove() const;

private:
    std::string filePath_;
};

} // namespace tallyhawk
