#pragma once

#include <memory>
#include <mutex>
#include <string>

namespace tallyhawk
{

// Holds this process's mutex for one file, found by the file's canonical path, from construction to
// destruction. Operations of the process on one file wait for each other this way instead of failing
// on the file lock (flock) they would otherwise take from each other. Held in a std::optional where it
// lasts less than its owner.
class PathLock
{
public:
    explicit PathLock(const std::string& path); // waits for the mutex
    PathLock(const PathLock&) = delete;
    PathLock& operator=(const PathLock&) = delete;

private:
    // Declared first, so the lock below lets go of it before it goes.
    std::shared_ptr<std::mutex> mutex_;
    std::unique_lock<std::mutex> lock_;
};

} // namespace tallyhawk
