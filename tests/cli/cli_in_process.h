#pragma once

#include "support/cli_process.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tallyhawk::test
{

// Runs tallyhawk-cli with `args` inside this process, as the executable would in `folder` (made the
// current folder for the run), with stdout and stderr caught and neither a terminal. For the commands'
// own work; a test of exit statuses as the system sees them, of signals, of the real stdout or of a
// file lock held by the test itself runs the executable with RunProgram.
ProgramRun RunCliInProcess(const std::vector<std::string>& args, const std::filesystem::path& folder);

} // namespace tallyhawk::test
