#pragma once

#include "core/platform/file_handle.h"

#include <string>
#include <string_view>

namespace tallyhawk
{

// Writes a whole file as a temporary file beside it, flushes it to disk and renames it over the
// target, so readers see the old file or the new one and never a half-written one.
class AtomicFile
{
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile(); // removes the temporary file unless Commit succeeded
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file; false when the folder is not writable.
    bool Open();
    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view text) { return Write(text.data(), text.size()); }
    // Flushes, closes and renames over the target. False leaves the target untouched.
    bool Commit();

    // Convenience: the whole contents in one call.
    static bool Replace(const std::string& path, std::string_view contents);

private:
    std::string path_;
    std::string tempPath_;
    FileHandle file_;
    bool failed_ = false;
};

} // namespace tallyhawk
