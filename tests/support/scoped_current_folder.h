#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

namespace tallyhawk::test
{

// Makes `folder` the current folder for one scope, for code that takes bare file names as the data
// folder's files; the folder before is restored by its descriptor, even if it was renamed meanwhile.
class ScopedCurrentFolder
{
public:
    explicit ScopedCurrentFolder(const std::filesystem::path& folder)
        : before_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        entered_ = before_ >= 0 && ::chdir(folder.c_str()) == 0;
    }
    ~ScopedCurrentFolder()
    {
        if (before_ >= 0) {
            (void)!::fchdir(before_);
            ::close(before_);
        }
    }
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

    bool entered() const { return entered_; }

private:
    int before_;
    bool entered_ = false;
};

} // namespace tallyhawk::test
