#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tallyhawk::test
{

// What a finished program left: its exit status (128 + signal when a signal ended it) and output.
struct ProgramRun
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `program` with `args` in `folder`, stdout and stderr caught in files there (removed after),
// the environment inherited. `whileRunning` gets the process id before the run is waited for.
ProgramRun RunProgram(const std::string& program,
                      const std::vector<std::string>& args,
                      const std::filesystem::path& folder,
                      const std::function<void(pid_t)>& whileRunning = {});

// As RunProgram, but stdout is a terminal (a pseudo-terminal in raw mode, so the bytes arrive as they
// were written) and `out` holds what reached it.
ProgramRun RunProgramOnTerminal(const std::string& program,
                                const std::vector<std::string>& args,
                                const std::filesystem::path& folder);

} // namespace tallyhawk::test
