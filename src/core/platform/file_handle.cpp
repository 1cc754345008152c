#include "core/platform/file_handle.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <thread>
#include <utility>

namespace tallyhawk
{
namespace
{

constexpr int kOpenLockedAttempts = 4;
// How often a held lock is tried again while waiting for it.
constexpr std::chrono::milliseconds kLockRetryPause(20);

// Calls `step(done)` until `size` bytes have moved. A step that moves nothing fails: at the end of a
// file for a read, and for a write it would only repeat forever.
template <typename Step>
bool MoveWhole(std::size_t size, Step step)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t moved = step(done);
        if (moved < 0 && errno == EINTR) {
            continue;
        }
        if (moved <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(moved);
    }
    return true;
}

// One call, repeated while a signal interrupts it.
template <typename Call>
auto Retried(Call call)
{
    auto result = call();
    while (result < 0 && errno == EINTR) {
        result = call();
    }
    return result;
}

// flock without blocking, tried again until `deadline` while someone else holds the lock.
bool LockBefore(int fd, int lockType, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        if (Retried([&] { return ::flock(fd, lockType | LOCK_NB); }) == 0) {
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (errno != EWOULDBLOCK || now >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kLockRetryPause, deadline - now));
    }
}

} // namespace

FileHandle::~FileHandle()
{
    Close();
}

FileHandle::FileHandle(FileHandle&& other) noexcept
    : fd_(std::exchange(other.fd_, -1))
{ }

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileHandle FileHandle::Open(const std::string& path, int flags, mode_t mode)
{
    return FileHandle(Retried([&] { return ::open(path.c_str(), flags | O_CLOEXEC, mode); }));
}

FileHandle
FileHandle::OpenLocked(const std::string& path, int flags, int lockType, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    // Writers that replace the file one after the other each send a waiter back to the path: it goes
    // on while its wait lasts, not only for a fixed number of turns.
    for (int attempt = 0; attempt < kOpenLockedAttempts || std::chrono::steady_clock::now() < deadline;
         ++attempt) {
        FileHandle file = Open(path, flags);
        if (!file.valid()) {
            return file;
        }
        if (!LockBefore(file.get(), lockType, deadline)) {
            const int reason = errno;
            file.Close();
            errno = reason;
            return FileHandle();
        }
        struct stat opened
        { };
        struct stat named
        { };
        if (file.Stat(opened) && ::stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev
            && opened.st_ino == named.st_ino) {
            return file;
        }
    }
    errno = EBUSY;
    return FileHandle();
}

bool FileHandle::Close()
{
    if (fd_ < 0) {
        return true;
    }
    // Not repeated after EINTR: Linux has released the descriptor either way.
    return ::close(std::exchange(fd_, -1)) == 0;
}

bool FileHandle::Read(void* data, std::size_t size)
{
    auto* bytes = static_cast<char*>(data);
    return MoveWhole(size, [&](std::size_t done) { return ::read(fd_, bytes + done, size - done); });
}

bool FileHandle::Write(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    return MoveWhole(size, [&](std::size_t done) { return ::write(fd_, bytes + done, size - done); });
}

ssize_t FileHandle::ReadSome(void* data, std::size_t size)
{
    return Retried([&] { return ::read(fd_, data, size); });
}

bool FileHandle::ReadAt(void* data, std::size_t size, std::uint64_t offset) const
{
    auto* bytes = static_cast<char*>(data);
    return MoveWhole(size, [&](std::size_t done) {
        return ::pread(fd_, bytes + done, size - done, static_cast<off_t>(offset + done));
    });
}

bool FileHandle::WriteAt(const void* data, std::size_t size, std::uint64_t offset) const
{
    const auto* bytes = static_cast<const char*>(data);
    return MoveWhole(size, [&](std::size_t done) {
        return ::pwrite(fd_, bytes + done, size - done, static_cast<off_t>(offset + done));
    });
}

bool FileHandle::Stat(struct stat& info) const
{
    return ::fstat(fd_, &info) == 0;
}

bool FileHandle::Truncate(std::uint64_t size) const
{
    return Retried([&] { return ::ftruncate(fd_, static_cast<off_t>(size)); }) == 0;
}

bool FileHandle::Sync() const
{
    return Retried([&] { return ::fsync(fd_); }) == 0;
}

bool FileHandle::SyncFolderOf(const std::string& path)
{
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    FileHandle handle = Open(folder.empty() ? std::string(".") : folder.string(), O_RDONLY | O_DIRECTORY);
    return handle.valid() && handle.Sync();
}

} // namespace tallyhawk
