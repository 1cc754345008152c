#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tallyhawk
{

// An open file descriptor that this object owns and closes.
//
// Reads and writes move the whole range or report failure: they carry on after an interrupted call and
// after a short count, so a signal or a file system that takes part of a write at a time never leaves
// a caller believing half a buffer was everything. A write that stops for good (a full disk, the file
// size limit) returns false with the part before it written.
class FileHandle
{
public:
    FileHandle() = default;
    explicit FileHandle(int fd) noexcept
        : fd_(fd)
    { }
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // open(2) with O_CLOEXEC added; not valid() on failure, errno telling why.
    static FileHandle Open(const std::string& path, int flags, mode_t mode = 0666);
    // Open plus flock(`lockType`), checked once locked to still be the file the path names: a writer
    // may have renamed another file over it meanwhile. While someone else holds the lock it tries again
    // for up to `wait` (never blocking in flock, so the wait stays bounded). Not valid() on failure,
    // errno EWOULDBLOCK when someone else still holds the lock.
    static FileHandle OpenLocked(const std::string& path,
                                 int flags,
                                 int lockType,
                                 std::chrono::milliseconds wait = std::chrono::milliseconds(0));

    bool valid() const { return fd_ >= 0; }
    int get() const { return fd_; }
    // Closes now (also releasing a file lock); false when close reported an error.
    bool Close();

    // At the file offset, which they move.
    bool Read(void* data, std::size_t size);
    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    // One read of at most `size` bytes, repeated only when interrupted: the count, 0 at the end, -1.
    ssize_t ReadSome(void* data, std::size_t size);

    // At `offset`, leaving the file offset alone. A read that meets the end of the file fails.
    bool ReadAt(void* data, std::size_t size, std::uint64_t offset) const;
    bool WriteAt(const void* data, std::size_t size, std::uint64_t offset) const;

    bool Stat(struct stat& info) const;
    bool Truncate(std::uint64_t size) const;
    bool Sync() const;

    // Flushes to disk the folder that holds `path`, so a rename or a creation in it lasts; a bare name
    // is in the current folder.
    static bool SyncFolderOf(const std::string& path);

private:
    int fd_ = -1;
};

} // namespace tallyhawk
