#include "core/platform/output_file.h"

#include "core/platform/atomic_file.h"
#include "core/platform/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

namespace tallyhawk
{
std::string OutputFile::Resolve(const std::string& path)
{
    return AtomicFile::Resolve(path);
}

bool OutputFile::Write(const std::string& path, std::string_view bytes)
{
    const std::string target = Resolve(path);
    struct stat info
    { };
    if (::stat(target.c_str(), &info) != 0) {
        return errno == ENOENT && AtomicFile::Replace(target, bytes);
    }
    if (S_ISDIR(info.st_mode)) {
        return false;
    }
    if (S_ISREG(info.st_mode)) {
        return AtomicFile::Replace(target, bytes);
    }
    // A pipe waits for its reader here, as a shell's redirection would.
    FileHandle out = FileHandle::Open(target, O_WRONLY);
    return out.valid() && out.Write(bytes) && out.Close();
}

} // namespace tallyhawk
