#include "core/platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace tallyhawk
{

AtomicFile::AtomicFile(std::string path)
    : path_(std::move(path))
{ }

AtomicFile::~AtomicFile()
{
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
    }
}

bool AtomicFile::Open()
{
    std::filesystem::path target(path_);
    std::filesystem::path folder
        = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    // Built piece by piece: GCC 12 misreads "." + string as an overlapping copy (-Wrestrict).
    std::string hidden = ".";
    hidden += target.filename().string();
    hidden += ".XXXXXX";
    std::string pattern = (folder / hidden).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) {
        return false;
    }
    tempPath_ = name.data();
    // Keep the permissions an existing file had; new files get the usual 0644 less the umask.
    struct stat existing
    { };
    if (::stat(path_.c_str(), &existing) == 0) {
        ::fchmod(fd_, existing.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd_, 0666 & ~mask);
    }
    return true;
}

bool AtomicFile::Write(const void* data, std::size_t size)
{
    if (fd_ < 0 || failed_) {
        return false;
    }
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = ::write(fd_, bytes, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            failed_ = true;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool AtomicFile::Commit()
{
    if (fd_ < 0 || failed_) {
        return false;
    }
    bool ok = ::fsync(fd_) == 0;
    ok = (::close(fd_) == 0) && ok;
    fd_ = -1;
    if (!ok || ::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        return false;
    }
    tempPath_.clear();
    return true;
}

bool AtomicFile::Replace(const std::string& path, std::string_view contents)
{
    AtomicFile file(path);
    return file.Open() && file.Write(contents) && file.Commit();
}

} // namespace tallyhawk
