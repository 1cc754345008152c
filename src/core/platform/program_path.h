#pragma once

#include <filesystem>
#include <string>

namespace tallyhawk
{

// The running program's own file (/proc/self/exe); empty when it cannot be read.
std::filesystem::path CurrentExecutablePath();

// The full path of the desktop program "tallyhawk" as seen from `currentExecutable`: the one beside
// it, else the build tree's sibling ../gui/tallyhawk, else (neither exists) the path beside it.
std::string DesktopProgramPath(const std::filesystem::path& currentExecutable);
// The same for the running program.
std::string DesktopProgramPath();

} // namespace tallyhawk
