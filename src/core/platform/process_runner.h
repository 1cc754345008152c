#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk
{

// Programs are started directly (argv[0] searched in PATH), never through a shell, in a session of
// their own with no blocked signals, the default SIGPIPE action and stdin from /dev/null.

// Starts a program without waiting for it; its output goes to /dev/null and its exit is collected in
// the background. False when it could not be started.
bool SpawnDetached(const std::vector<std::string>& argv);

// Runs a program to completion and returns what it printed on stdout. Nothing when it could not be
// started, failed, ran longer than `timeout` or printed `maxOutput` bytes or more (then it and its
// helpers are killed).
std::optional<std::string>
RunAndCapture(const std::vector<std::string>& argv, std::chrono::milliseconds timeout, std::size_t maxOutput);

} // namespace tallyhawk
