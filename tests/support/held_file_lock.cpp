#include "support/held_file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

namespace tallyhawk::test
{
namespace
{

constexpr auto kOpenedWait = std::chrono::seconds(10);
constexpr auto kOpenedPoll = std::chrono::milliseconds(5);

} // namespace

HeldFileLock::HeldFileLock(const std::string& path, Kind kind)
{
    int ready[2];
    int release[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        return;
    }
    if (::pipe2(release, O_CLOEXEC) != 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return;
    }
    child_ = ::fork();
    if (child_ == 0) {
        // Only plain system calls here: the parent may have had other threads.
        ::close(ready[0]);
        ::close(release[1]);
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        const char answer = fd >= 0 && ::flock(fd, kind == Kind::Shared ? LOCK_SH : LOCK_EX) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &answer, 1);
        char ignored = 0;
        while (::read(release[0], &ignored, 1) < 0 && errno == EINTR) {
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char answer = 'n';
    if (child_ > 0) {
        while (::read(ready[0], &answer, 1) < 0 && errno == EINTR) {
        }
    }
    ::close(ready[0]);
    held_ = answer == 'y';
}

HeldFileLock::~HeldFileLock()
{
    Release();
}

void HeldFileLock::Release()
{
    if (release_ >= 0) {
        ::close(release_);
        release_ = -1;
    }
    if (child_ > 0) {
        while (::waitpid(child_, nullptr, 0) < 0 && errno == EINTR) {
        }
        child_ = -1;
    }
    held_ = false;
}

bool WaitUntilOpenedBy(pid_t pid, const std::string& path)
{
    std::error_code error;
    const std::filesystem::path wanted = std::filesystem::weakly_canonical(path, error);
    const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
    const auto deadline = std::chrono::steady_clock::now() + kOpenedWait;
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code listing;
        for (std::filesystem::directory_iterator it(fds, listing), end; !listing && it != end;
             it.increment(listing)) {
            std::error_code link;
            if (std::filesystem::read_symlink(it->path(), link) == wanted) {
                return true;
            }
        }
        if (listing) {
            return false; // the process has ended
        }
        std::this_thread::sleep_for(kOpenedPoll);
    }
    return false;
}

} // namespace tallyhawk::test
