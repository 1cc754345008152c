#include "core/platform/text_file.h"

#include "core/common/status.h"
#include "core/platform/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace tallyhawk
{

namespace
{ } // namespace

std::int32_t ReadTextFile(const std::string& path, TextFileBytes& bytes)
{
    bytes = TextFileBytes{};
    // Non-blocking open, so a named pipe in place of the file cannot stall the caller.
    FileHandle file = FileHandle::Open(path, O_RDONLY | O_NONBLOCK);
    if (!file.valid()) {
        return kCannotOpen;
    }
    struct stat info
    { };
    if (!file.Stat(info) || !S_ISREG(info.st_mode) || info.st_size < 0
        || static_cast<std::uint64_t>(info.st_size) > kMaxTextFileSize) {
        return kBadMarker;
    }
    std::size_t size = static_cast<std::size_t>(info.st_size);
    // The read fills the buffer, so it is not cleared first.
    std::unique_ptr<char[]> data(new char[size]);
    if (!file.Read(data.get(), size)) {
        return kBadFormat;
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
