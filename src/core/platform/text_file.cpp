#include "core/platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tallyhawk
{

namespace
{

constexpr std::int32_t kCannotOpen = -41;
constexpr std::int32_t kShortRead = -42;
constexpr std::int32_t kNoSize = -44;

class FileHandle
{
public:
    explicit FileHandle(int fd)
        : fd_(fd)
    { }
    ~FileHandle()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

std::int32_t ReadTextFile(const std::string& path, TextFileBytes& bytes)
{
    bytes = TextFileBytes{};
    // Non-blocking open, so a named pipe in place of the file cannot stall the caller.
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        return kCannotOpen;
    }
    struct stat info
    { };
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0
        || static_cast<std::uint64_t>(info.st_size) > kMaxTextFileSize) {
        return kNoSize;
    }
    std::size_t size = static_cast<std::size_t>(info.st_size);
    // The read fills the buffer, so it is not cleared first.
    std::unique_ptr<char[]> data(new char[size]);
    std::size_t done = 0;
    while (done < size) {
        ssize_t got = ::read(file.get(), data.get() + done, size - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return kShortRead;
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.data = std::move(data);
    bytes.size = size;
    return 0;
}

std::string_view TextBeforeZero(std::string_view bytes)
{
    return bytes.substr(0, bytes.find('\0'));
}

} // namespace tallyhawk
