#pragma once

#include "core/common/record_frame.h"
#include "core/common/status.h"
#include "core/platform/file_handle.h"
#include "core/platform/path_lock.h"

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tallyhawk
{

// What an earlier look at a record file learned, kept by its owner from one operation to the next so an
// append need not read the whole file again: the file (device and inode) held only whole record frames
// before `boundary`. Files only grow by appends and change in place by flags; a rewrite takes a new
// inode, which sends the next check back to the start.
struct FrameCheck
{
    dev_t device = 0;
    ino_t inode = 0;
    std::uint64_t boundary = 0; // 0: nothing known
};

// One record file opened for the length of one operation.
//
// Operations of this process on one file (one canonical path) wait for each other; another process
// that holds the file makes Open wait for it up to lockWait() (flock, tried again without blocking),
// then fail with -41. Readers share the file with other readers, writers hold it alone. Anything but a
// regular file (a folder, a named pipe, a device) fails to open with -41, without blocking.
//
// Appends never write over damage nor after it: a torn tail (what a crash in the middle of an append
// leaves) is cut back to the last whole record before the new record goes on; damage anywhere before
// the tail, or a wrong file marker, leaves the file untouched, since records after the damage would be
// out of every reader's sight. Whole-file rewrites go through AtomicFile while the file is held in
// Update or Replace mode, so nobody in this process or another one works on it meanwhile.
class RecordFile
{
public:
    enum class Mode
    {
        Read, // the file must exist
        Update, // the file must exist; it is held alone
        // Held alone; a missing or empty file is created holding an empty frame, and one cut short inside
        // its header (its bytes those of a header) is replaced by an empty frame in one step.
        Append,
        // Held alone while a whole new file takes its place; nothing is read or written through this
        // object. A missing file is not created, and one this process may not read is replaced under
        // the in-process wait alone.
        Replace,
    };

    using Visitor = std::function<bool(const unsigned char* record, std::uint64_t offset)>;

    explicit RecordFile(RecordFrame frame);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // 0 or -41.
    int Open(const std::string& path, Mode mode);
    void Close();

    // How long Open waits for another process's hold on the file; a few seconds unless set.
    static std::chrono::milliseconds lockWait();
    static void SetLockWait(std::chrono::milliseconds wait);

    // Whether a file is held: false after a Replace-mode Open that found none.
    bool isOpen() const { return file_.valid(); }
    const std::string& path() const { return path_; }
    const RecordFrame& frame() const { return frame_; }
    // The size when the file was opened, kept up to date by this object's own writes.
    std::uint64_t size() const { return size_; }

    // The header words, file marker first; false when the file is too short to hold them.
    bool ReadHeader(unsigned char* header);
    // 0, -42 when the file is too short to hold the marker, -44 when the marker is not the file marker.
    int CheckFileMarker();

    // Visits each whole record in file order, reading in large chunks, from the record boundary `from`
    // (0: the first record). `offset` is where the record's bytes start. The visitor returns false to
    // stop.
    FrameScan Scan(const Visitor& visit, std::uint64_t from = 0);

    // Checks that nothing but whole record frames stand before the end marker or a torn tail: from
    // `known.boundary` when `known` describes this file, from the first record otherwise, each record
    // passed going to `visit`. 0 with `known` describing the file up to its last whole record; -44
    // (wrong file marker), -42 (damage before the tail: a wrong marker, or whole records after the end
    // marker).
    int CheckFrames(FrameCheck& known, const Visitor& visit = {});
    // Whether CheckFrames would go on from `known` rather than start over.
    bool Continues(const FrameCheck& known) const;

    // Appends one record (frame().recordSize bytes) with its marker and a new end marker, in one write,
    // after checking the frames as CheckFrames does (`known` is brought up to date; the overload
    // without it checks the whole file). 0, -44, -42 (damage before the tail, or a write that failed).
    int Append(const unsigned char* record, FrameCheck& known);
    int Append(const unsigned char* record);

    bool ReadAt(void* data, std::size_t size, std::uint64_t offset);
    bool WriteAt(const void* data, std::size_t size, std::uint64_t offset);

private:
    // Opens and locks path_ for `mode`, learning its size and identity; false (errno telling why) when
    // it is missing, held by someone else or no regular file.
    bool Hold(Mode mode);
    // Whether the file is shorter than its header and begins as the header does, as a file whose making
    // was cut short does.
    bool BeganAsHeader();

    RecordFrame frame_;
    std::string path_;
    std::optional<PathLock> pathLock_;
    FileHandle file_;
    std::uint64_t size_ = 0;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

} // namespace tallyhawk
