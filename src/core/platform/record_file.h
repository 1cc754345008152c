#pragma once

#include "core/common/record_frame.h"
#include "core/common/status.h"
#include "core/platform/file_handle.h"
#include "core/platform/path_lock.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tallyhawk
{

// One record file opened for the length of one operation.
//
// Operations of this process on one file (one canonical path) wait for each other; another process
// that holds the file makes Open fail with -41 at once (flock, never waiting). Readers share the file
// with other readers, writers hold it alone.
//
// Appends never write over damage: a torn tail (what a crash in the middle of an append leaves) is cut
// back to the last whole record before the new record goes on; damage before the tail, or a wrong
// file marker, leaves the file untouched. Whole-file rewrites go through AtomicFile while the file is
// held in Update or Replace mode, so nobody in this process or another one works on it meanwhile.
class RecordFile
{
public:
    enum class Mode
    {
        Read, // the file must exist
        Update, // the file must exist; it is held alone
        Append, // held alone; a missing or empty file is created holding an empty frame
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

    // Whether a file is held: false after a Replace-mode Open that found none.
    bool isOpen() const { return file_.valid(); }
    // Whether the path named a folder (which opens for reading like a file).
    bool isFolder() const { return folder_; }
    const std::string& path() const { return path_; }
    const RecordFrame& frame() const { return frame_; }
    // The size when the file was opened, kept up to date by this object's own writes.
    std::uint64_t size() const { return size_; }

    // The header words, file marker first; false when the file is too short to hold them.
    bool ReadHeader(unsigned char* header);
    // 0, -42 when the file is too short to hold the marker, -44 when the marker is not the file marker.
    int CheckFileMarker();

    // Visits each whole record in file order, reading in large chunks. `offset` is where the record's
    // bytes start. The visitor returns false to stop.
    FrameScan Scan(const Visitor& visit);

    // Appends one record (frame().recordSize bytes) with its marker and a new end marker, in one write.
    // 0, -44 (wrong file marker), -42 (damage before the tail, or a write that failed).
    int Append(const unsigned char* record);

    bool ReadAt(void* data, std::size_t size, std::uint64_t offset);
    bool WriteAt(const void* data, std::size_t size, std::uint64_t offset);

private:
    RecordFrame frame_;
    std::string path_;
    std::optional<PathLock> pathLock_;
    FileHandle file_;
    std::uint64_t size_ = 0;
    bool folder_ = false;
};

} // namespace tallyhawk
