#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tallyhawk
{

// Where the data files live: --data-dir, else $TALLYHAWK_HOME, else $XDG_DATA_HOME/tallyhawk, else
// ~/.local/share/tallyhawk.
std::filesystem::path ResolveDataFolder(const std::optional<std::string>& dataDirOption);

// Creates the folder and its "WebSearch" folder and makes it the current folder, so data files are
// addressed by their bare names. Returns false with a one-sentence reason in `error`.
bool PrepareDataFolder(const std::filesystem::path& folder, std::string& error);

} // namespace tallyhawk
