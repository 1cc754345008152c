#include "core/platform/record_file.h"

#include "core/common/byte_text.h"
#include "core/platform/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <vector>

namespace tallyhawk
{
namespace
{

constexpr std::size_t kChunkSize = 1 << 20;

// Long enough for another process's whole operation on a large file, short enough that a file held
// for good fails while someone still waits for the answer.
std::atomic<std::int64_t> lockWaitMs{3000};

// Non-blocking, so a named pipe in place of a file cannot stall the open; reads of regular files are
// not affected.
constexpr int kOpenFlags = O_NONBLOCK;

int OpenFlags(RecordFile::Mode mode)
{
    switch (mode) {
    case RecordFile::Mode::Read:
    case RecordFile::Mode::Replace: // the lock needs a descriptor, not the right to write
        return O_RDONLY | kOpenFlags;
    case RecordFile::Mode::Update:
    case RecordFile::Mode::Append:
        break;
    }
    return O_RDWR | kOpenFlags;
}

} // namespace

RecordFile::RecordFile(RecordFrame frame)
    : frame_(frame)
{ }

RecordFile::~RecordFile()
{
    Close();
}

std::chrono::milliseconds RecordFile::lockWait()
{
    return std::chrono::milliseconds(lockWaitMs.load());
}

void RecordFile::SetLockWait(std::chrono::milliseconds wait)
{
    lockWaitMs.store(wait.count());
}

bool RecordFile::Hold(Mode mode)
{
    const int lockType = mode == Mode::Read ? LOCK_SH : LOCK_EX;
    file_ = FileHandle::OpenLocked(path_, OpenFlags(mode), lockType, lockWait());
    if (!file_.valid() && errno == ENOENT && mode == Mode::Append) {
        file_ = FileHandle::OpenLocked(path_, OpenFlags(mode) | O_CREAT, lockType, lockWait());
    }
    if (!file_.valid()) {
        return false;
    }
    struct stat info
    { };
    // A folder reads as nothing and a pipe or a device as bytes that are no file: neither is a list.
    if (!file_.Stat(info) || !S_ISREG(info.st_mode)) {
        file_.Close();
        errno = EINVAL;
        return false;
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
    device_ = info.st_dev;
    inode_ = info.st_ino;
    return true;
}

bool RecordFile::BeganAsHeader()
{
    if (size_ == 0 || size_ >= frame_.headerSize) {
        return false;
    }
    const std::string empty = frame_.EmptyFile();
    const std::size_t marker
        = std::min<std::size_t>(static_cast<std::size_t>(size_), RecordFrame::kMarkerSize);
    std::string bytes(marker, '\0');
    return ReadAt(bytes.data(), bytes.size(), 0) && bytes == empty.substr(0, marker);
}

int RecordFile::Open(const std::string& path, Mode mode)
{
    Close();
    path_ = path;
    pathLock_.emplace(path);

    if (!Hold(mode)) {
        if ((errno == ENOENT || errno == EACCES) && mode == Mode::Replace) {
            return kOk; // under the in-process wait alone
        }
        Close();
        return kCannotOpen;
    }
    if (mode == Mode::Append && BeganAsHeader()) {
        // What a crash while the file was being made leaves: shorter than its header, so no record can
        // be in it. It starts afresh in one step, and an append goes after the new header, never over
        // the file marker.
        if (!AtomicFile::Replace(path_, frame_.EmptyFile())) {
            Close();
            return kCannotOpen;
        }
        file_.Close();
        if (!Hold(mode)) {
            Close();
            return kCannotOpen;
        }
    }
    if (mode == Mode::Append && size_ == 0) {
        // A new file, or one whose creation was cut short before anything was written.
        std::string empty = frame_.EmptyFile();
        if (!file_.WriteAt(empty.data(), empty.size(), 0)) {
            Close();
            return kCannotOpen;
        }
        size_ = empty.size();
    }
    return kOk;
}

void RecordFile::Close()
{
    file_.Close(); // also releases the file lock
    pathLock_.reset();
    size_ = 0;
    device_ = 0;
    inode_ = 0;
}

bool RecordFile::ReadAt(void* data, std::size_t size, std::uint64_t offset)
{
    return file_.valid() && offset <= size_ && size <= size_ - offset && file_.ReadAt(data, size, offset);
}

bool RecordFile::WriteAt(const void* data, std::size_t size, std::uint64_t offset)
{
    if (!file_.valid() || !file_.WriteAt(data, size, offset)) {
        return false;
    }
    size_ = std::max<std::uint64_t>(size_, offset + size);
    return true;
}

bool RecordFile::ReadHeader(unsigned char* header)
{
    return ReadAt(header, frame_.headerSize, 0);
}

int RecordFile::CheckFileMarker()
{
    unsigned char marker[RecordFrame::kMarkerSize];
    if (!ReadAt(marker, sizeof marker, 0)) {
        return kBadFormat;
    }
    return LoadLe32(marker) == RecordFrame::kFileMarker ? kOk : kBadMarker;
}

FrameScan RecordFile::Scan(const Visitor& visit, std::uint64_t from)
{
    FrameScan scan;
    if (!file_.valid() || size_ < frame_.headerSize) {
        scan.end = size_ < frame_.headerSize ? FrameEnd::TornTail : FrameEnd::ReadError;
        return scan;
    }
    const std::uint64_t frameSize = frame_.FrameSize();
    std::uint64_t boundary = std::max<std::uint64_t>(from, frame_.headerSize);
    if (boundary > size_) {
        return scan;
    }
    // The buffer holds the file bytes [windowStart, windowEnd); never more than one chunk (or frame).
    std::vector<unsigned char> buffer(static_cast<std::size_t>(
        std::min<std::uint64_t>(std::max<std::uint64_t>(kChunkSize, frameSize), size_ - boundary)));
    std::uint64_t windowStart = boundary;
    std::uint64_t windowEnd = boundary;
    for (;;) {
        scan.boundary = boundary;
        const std::uint64_t left = size_ - boundary;
        if (left < RecordFrame::kMarkerSize) {
            scan.end = FrameEnd::TornTail;
            return scan;
        }
        const std::uint64_t wanted = std::min(left, frameSize);
        if (boundary + wanted > windowEnd) {
            std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), left));
            if (!file_.ReadAt(buffer.data(), length, boundary)) {
                scan.end = FrameEnd::ReadError;
                return scan;
            }
            windowStart = boundary;
            windowEnd = boundary + length;
        }
        const unsigned char* at = buffer.data() + (boundary - windowStart);
        const std::uint32_t marker = LoadLe32(at);
        if (marker == RecordFrame::kEndMarker) {
            scan.end = FrameEnd::EndMarker;
            scan.trailing = left - RecordFrame::kMarkerSize;
            return scan;
        }
        if (left < frameSize) {
            scan.end = FrameEnd::TornTail;
            return scan;
        }
        if (marker != RecordFrame::kRecordMarker) {
            scan.end = FrameEnd::BadMarker;
            return scan;
        }
        boundary += frameSize;
        ++scan.records;
        if (visit && !visit(at + RecordFrame::kMarkerSize, boundary - frame_.recordSize)) {
            scan.boundary = boundary;
            scan.end = FrameEnd::Stopped;
            return scan;
        }
    }
}

bool RecordFile::Continues(const FrameCheck& known) const
{
    return file_.valid() && known.device == device_ && known.inode == inode_
        && known.boundary >= frame_.headerSize && known.boundary <= size_;
}

int RecordFile::CheckFrames(FrameCheck& known, const Visitor& visit)
{
    if (int marker = CheckFileMarker(); marker != kOk) {
        return marker;
    }
    if (size_ < frame_.headerSize) {
        // Not even the header is whole: there is no record boundary to append at.
        return kBadFormat;
    }
    std::uint64_t from = frame_.headerSize;
    if (Continues(known)) {
        from = known.boundary;
    } else {
        known = FrameCheck{device_, inode_, 0};
    }
    // The usual case costs one small read: the file ends in the end marker right where the frames
    // were last seen to end.
    if (size_ == from + RecordFrame::kMarkerSize) {
        unsigned char tail[RecordFrame::kMarkerSize];
        if (ReadAt(tail, sizeof tail, from) && LoadLe32(tail) == RecordFrame::kEndMarker) {
            known.boundary = from;
            return kOk;
        }
    }
    const FrameScan scan = Scan(visit, from);
    // Bytes after the end marker that are less than a record are what an interrupted append leaves;
    // a whole record or more there would be kept out of every reader's sight.
    const bool whole = scan.end == FrameEnd::TornTail
        || (scan.end == FrameEnd::EndMarker && scan.trailing < frame_.FrameSize());
    if (!whole) {
        return kBadFormat;
    }
    known.boundary = scan.boundary;
    return kOk;
}

int RecordFile::Append(const unsigned char* record)
{
    FrameCheck known;
    return Append(record, known);
}

int RecordFile::Append(const unsigned char* record, FrameCheck& known)
{
    if (int status = CheckFrames(known); status != kOk) {
        return status;
    }
    const std::uint64_t endAt = known.boundary;

    std::vector<unsigned char> frame(frame_.FrameSize() + RecordFrame::kMarkerSize);
    StoreLe32(frame.data(), RecordFrame::kRecordMarker);
    std::copy_n(record, frame_.recordSize, frame.data() + RecordFrame::kMarkerSize);
    StoreLe32(frame.data() + frame_.FrameSize(), RecordFrame::kEndMarker);
    const std::uint64_t oldSize = size_;
    if (!WriteAt(frame.data(), frame.size(), endAt)) {
        // Put the end marker back where it was, so the file stays whole without the record.
        unsigned char end[RecordFrame::kMarkerSize];
        StoreLe32(end, RecordFrame::kEndMarker);
        if (file_.Truncate(endAt) && file_.WriteAt(end, sizeof end, endAt)) {
            size_ = endAt + sizeof end;
        } else {
            size_ = oldSize;
            known = FrameCheck{};
        }
        return kBadFormat;
    }
    const std::uint64_t newSize = endAt + frame.size();
    if (size_ > newSize && !file_.Truncate(newSize)) {
        known = FrameCheck{};
        return kBadFormat;
    }
    size_ = newSize;
    known.boundary = endAt + frame_.FrameSize();
    return kOk;
}

} // namespace tallyhawk
