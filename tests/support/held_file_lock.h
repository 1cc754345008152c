#pragma once

#include <sys/types.h>

#include <string>

namespace tallyhawk::test
{

// Another process holding a file's lock (flock), as a second copy of the program would: a child forked
// for the purpose opens the file, locks it and keeps it until Release or the end of this object.
class HeldFileLock
{
public:
    enum class Kind
    {
        Shared, // as a reader holds it: other readers go on, writers wait
        Exclusive, // as a writer holds it
    };

    // Returns once the child holds the lock; held() is false when it could not take it.
    HeldFileLock(const std::string& path, Kind kind);
    ~HeldFileLock();
    HeldFileLock(const HeldFileLock&) = delete;
    HeldFileLock& operator=(const HeldFileLock&) = delete;

    bool held() const { return held_; }
    // The child lets go and ends; returns once it has.
    void Release();

private:
    pid_t child_ = -1;
    int release_ = -1; // closing it tells the child to let go
    bool held_ = false;
};

// Waits until process `pid` has `path` open (it looks through /proc/PID/fd), or `pid` has ended, or
// about ten seconds have passed; true when the file was seen open. Tells that a process is now waiting
// for a lock someone else holds, without guessing how long its start takes.
bool WaitUntilOpenedBy(pid_t pid, const std::string& path);

} // namespace tallyhawk::test
