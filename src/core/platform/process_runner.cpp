#include "core/platform/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <system_error>
#include <thread>

extern char** environ;

namespace tallyhawk
{

namespace
{

std::vector<char*> ArgumentPointers(const std::vector<std::string>& argv)
{
    std::vector<char*> pointers;
    for (const std::string& arg : argv) {
        pointers.push_back(const_cast<char*>(arg.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Spawn attributes shared by both ways of starting a program: no blocked signals and the default
// SIGPIPE action in the child, whatever the parent set.
class SpawnSetup
{
public:
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef POSIX_SPAWN_SETSID
        // A browser outlives us and must not get the terminal's Ctrl-C meant for the command line.
        flags |= POSIX_SPAWN_SETSID;
#endif
        posix_spawnattr_setflags(&attributes, flags);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

// Waits for the child to end and returns its wait status.
int Reap(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

} // namespace

bool SpawnDetached(const std::vector<std::string>& argv)
{
    if (argv.empty()) {
        return false;
    }
    SpawnSetup setup;
    // A started program's chatter does not belong on our terminal.
    posix_spawn_file_actions_addopen(&setup.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args = ArgumentPointers(argv);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, args[0], &setup.actions, &setup.attributes, args.data(), environ) != 0) {
        return false;
    }
    // Collect the exit status whenever the program ends, so no zombie is left behind.
    try {
        std::thread(Reap, pid).detach();
    } catch (const std::system_error&) {
        // Without a thread the child stays a zombie until we exit; the program still started.
    }
    return true;
}

std::optional<std::string>
RunAndCapture(const std::vector<std::string>& argv, std::chrono::milliseconds timeout, std::size_t maxOutput)
{
    if (argv.empty()) {
        return std::nullopt;
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    SpawnSetup setup;
    posix_spawn_file_actions_adddup2(&setup.actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&setup.actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args = ArgumentPointers(argv);
    pid_t pid = 0;
    int spawned = ::posix_spawnp(&pid, args[0], &setup.actions, &setup.attributes, args.data(), environ);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return std::nullopt;
    }
    std::string output;
    bool complete = false;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (output.size() < maxOutput) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline
                                                                          - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd fd{pipeFds[0], POLLIN, 0};
        int ready = ::poll(&fd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;
        }
        char buffer[4096];
        ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            complete = got == 0;
            break;
        }
        output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeFds[0]);
    if (!complete) {
        // Too slow or too talkative: not an answer we can use.
        // The query started in its own session, so its helpers go with it.
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
    }
    int status = Reap(pid);
    if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return output;
}

} // namespace tallyhawk
