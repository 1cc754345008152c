#include "support/cli_process.h"

#include "support/temp_dir.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace tallyhawk::test
{

namespace
{

// Starts `program` in `folder` with stderr caught in a file there; `stdoutFd` (if not -1) becomes its
// stdout, else another file there. The process id, or -1.
pid_t Spawn(const std::string& program,
            const std::vector<std::string>& args,
            const std::filesystem::path& folder,
            int stdoutFd)
{
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const std::string outPath = (folder / ".program-out").string();
    const std::string errPath = (folder / ".program-err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    if (stdoutFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

// Waits for the process and collects what the files caught.
void Finish(pid_t pid, const std::filesystem::path& folder, bool outInFile, ProgramRun& run)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const std::filesystem::path outPath = folder / ".program-out";
    const std::filesystem::path errPath = folder / ".program-err";
    if (outInFile) {
        run.out = ReadFileBytes(outPath.string());
    }
    run.err = ReadFileBytes(errPath.string());
    std::error_code ignored;
    std::filesystem::remove(outPath, ignored);
    std::filesystem::remove(errPath, ignored);
}

} // namespace

ProgramRun RunProgram(const std::string& program,
                      const std::vector<std::string>& args,
                      const std::filesystem::path& folder,
                      const std::function<void(pid_t)>& whileRunning)
{
    ProgramRun run;
    const pid_t pid = Spawn(program, args, folder, -1);
    if (pid < 0) {
        run.err = "cannot start " + program;
        return run;
    }
    if (whileRunning) {
        whileRunning(pid);
    }
    Finish(pid, folder, true, run);
    return run;
}

ProgramRun RunProgramOnTerminal(const std::string& program,
                                const std::vector<std::string>& args,
                                const std::filesystem::path& folder)
{
    ProgramRun run;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        run.err = "no pseudo-terminal";
        return run;
    }
    const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios mode{};
    if (terminal < 0 || ::tcgetattr(terminal, &mode) != 0) {
        run.err = "no pseudo-terminal";
        ::close(master);
        return run;
    }
    // Raw: no line feed turned into CR LF on the way.
    ::cfmakeraw(&mode);
    ::tcsetattr(terminal, TCSANOW, &mode);
    const pid_t pid = Spawn(program, args, folder, terminal);
    ::close(terminal);
    if (pid < 0) {
        ::close(master);
        run.err = "cannot start " + program;
        return run;
    }
    // The terminal's last writer gone, reads end with EIO.
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got > 0) {
            run.out.append(buffer, static_cast<std::size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    ::close(master);
    Finish(pid, folder, false, run);
    return run;
}

} // namespace tallyhawk::test
