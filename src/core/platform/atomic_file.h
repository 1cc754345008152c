#pragma once

#include "core/platform/file_handle.h"
#include "core/platform/path_lock.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk
{

// Writes a whole file as a temporary file beside it, flushes it to disk, renames it over the target
// and flushes the folder, so readers see the old file or the new one and never a half-written one.
// Every failure leaves the target as it was and removes the temporary file. A target that exists keeps
// its permissions; a new one gets 0666 less the umask.
//
// A symbolic link is followed: the file it names is replaced and the link stays, so data kept in
// another folder through a link never goes stale behind a plain copy.
//
// Fresh temporary names are "." + the file's name + "." + six letters or digits; those that a killed
// process left behind and that have not changed for a minute are removed when the file is next saved.
//
// The caller keeps others off the target meanwhile where that matters (RecordFile in Update or Replace
// mode).
class AtomicFile
{
public:
    // The temporary file gets a fresh name of its own.
    explicit AtomicFile(std::string path);
    // The temporary file has the fixed name `tempPath` in the target's folder, for a file format that
    // names it (beside the file a link leads to, when the target is a link into another folder). It is
    // held alone from Open on: this process's other users of the name wait, another process's fail
    // their Open.
    AtomicFile(std::string path, std::string tempPath);
    ~AtomicFile(); // removes the temporary file unless Commit succeeded
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file (a fixed one is emptied); false when the folder is not writable or a
    // fixed temporary file is held by another process.
    bool Open();
    // Small writes are gathered and written in large pieces. False once any write failed.
    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view text) { return Write(text.data(), text.size()); }
    // Flushes and renames over the target. False leaves the target untouched.
    bool Commit();

    // Convenience: the whole contents in one call.
    static bool Replace(const std::string& path, std::string_view contents);

    // `path` with its symbolic links followed (also a dangling one, to the name it points to); `path`
    // itself when it is no link or the links go round in a circle.
    static std::string Resolve(const std::string& path);

    // The file that is replaced: the path given, its links followed.
    const std::string& path() const { return path_; }
    const std::string& tempPath() const { return tempPath_; }

private:
    bool OpenFreshTemporary();
    void RemoveStaleTemporaries() const;
    bool OpenFixedTemporary();
    bool Flush();

    std::string path_;
    std::string tempPath_;
    bool fixedTemp_ = false;
    std::optional<PathLock> tempLock_;
    FileHandle file_;
    std::vector<char> buffer_;
    bool failed_ = false;
    bool committed_ = false;
};

} // namespace tallyhawk
