#include "core/platform/record_file.h"

#include "core/common/byte_text.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>

namespace tallyhawk
{
namespace
{

constexpr std::size_t kChunkSize = 1 << 20;
constexpr int kOpenAttempts = 4;

// One mutex per canonical path, so operations of this process on one file wait for each other instead
// of failing on the file lock they would otherwise take from each other.
std::shared_ptr<std::mutex> PathMutex(const std::string& path)
{
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, ec);
    std::string key = ec ? absolute.lexically_normal().string() : canonical.string();

    static std::mutex registryMutex;
    static std::map<std::string, std::weak_ptr<std::mutex>> registry;
    std::lock_guard<std::mutex> guard(registryMutex);
    if (registry.size() > 64) {
        std::erase_if(registry, [](const auto& entry) { return entry.second.expired(); });
    }
    std::weak_ptr<std::mutex>& slot = registry[key];
    std::shared_ptr<std::mutex> mutex = slot.lock();
    if (!mutex) {
        mutex = std::make_shared<std::mutex>();
        slot = mutex;
    }
    return mutex;
}

// Opens and locks a file without waiting for the lock. The lock is checked to belong to the file that
// the path names after it was taken: a writer may have renamed a new file over it meanwhile.
int OpenLocked(const std::string& path, int flags, int lockType, int& fdOut)
{
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno == ENOENT ? -ENOENT : -1;
        }
        int locked;
        do {
            locked = ::flock(fd, lockType | LOCK_NB);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            ::close(fd);
            return -1;
        }
        struct stat opened
        { };
        struct stat named
        { };
        if (::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev
            && opened.st_ino == named.st_ino) {
            fdOut = fd;
            return 0;
        }
        ::close(fd);
    }
    return -1;
}

bool ReadFully(int fd, void* data, std::size_t size, std::uint64_t offset)
{
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        ssize_t got = ::pread(fd, bytes, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        bytes += got;
        size -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

bool WriteFully(int fd, const void* data, std::size_t size, std::uint64_t offset)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t put = ::pwrite(fd, bytes, size, static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        bytes += put;
        size -= static_cast<std::size_t>(put);
        offset += static_cast<std::uint64_t>(put);
    }
    return true;
}

bool SyncFolderOf(const std::string& path)
{
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

RecordFile::RecordFile(RecordFrame frame)
    : frame_(frame)
{ }

RecordFile::~RecordFile()
{
    Close();
}

int RecordFile::Open(const std::string& path, Mode mode)
{
    Close();
    path_ = path;
    pathMutex_ = PathMutex(path);
    pathLock_ = std::unique_lock<std::mutex>(*pathMutex_);

    int flags = mode == Mode::Read ? O_RDONLY : O_RDWR;
    int lockType = mode == Mode::Read ? LOCK_SH : LOCK_EX;
    int result = OpenLocked(path, flags, lockType, fd_);
    if (result == -ENOENT && mode == Mode::Append) {
        result = OpenLocked(path, flags | O_CREAT, lockType, fd_);
    }
    struct stat info
    { };
    if (result != 0 || ::fstat(fd_, &info) != 0) {
        Close();
        return kCannotOpen;
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
    if (mode == Mode::Append && size_ == 0) {
        // A new file, or one whose creation was cut short before anything was written.
        std::string empty = frame_.EmptyFile();
        if (!WriteFully(fd_, empty.data(), empty.size(), 0)) {
            Close();
            return kCannotOpen;
        }
        size_ = empty.size();
    }
    return kOk;
}

void RecordFile::Close()
{
    if (fd_ >= 0) {
        ::close(fd_); // also releases the file lock
        fd_ = -1;
    }
    if (pathLock_.owns_lock()) {
        pathLock_.unlock();
    }
    pathLock_ = {};
    pathMutex_.reset();
    size_ = 0;
}

bool RecordFile::ReadAt(void* data, std::size_t size, std::uint64_t offset)
{
    return fd_ >= 0 && offset <= size_ && size <= size_ - offset && ReadFully(fd_, data, size, offset);
}

bool RecordFile::WriteAt(const void* data, std::size_t size, std::uint64_t offset)
{
    if (fd_ < 0 || !WriteFully(fd_, data, size, offset)) {
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
    return LoadLe32(marker) == RecordFrame::kFileMarker ? kOk : kWrongFileMarker;
}

FrameScan RecordFile::Scan(const Visitor& visit)
{
    FrameScan scan;
    if (fd_ < 0 || size_ < frame_.headerSize) {
        scan.end = size_ < frame_.headerSize ? FrameEnd::TornTail : FrameEnd::ReadError;
        return scan;
    }
    const std::uint64_t frameSize = frame_.FrameSize();
    std::uint64_t boundary = frame_.headerSize;
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
            if (!ReadFully(fd_, buffer.data(), length, boundary)) {
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

int RecordFile::Append(const unsigned char* record)
{
    if (int marker = CheckFileMarker(); marker != kOk) {
        return marker;
    }
    // The usual case costs one small read: a whole length ending in the end marker.
    std::uint64_t endAt = 0;
    bool found = false;
    if (frame_.IsWholeLength(size_)) {
        unsigned char tail[RecordFrame::kMarkerSize];
        if (!ReadAt(tail, sizeof tail, size_ - sizeof tail)) {
            return kBadFormat;
        }
        found = LoadLe32(tail) == RecordFrame::kEndMarker;
        endAt = size_ - sizeof tail;
    }
    if (!found) {
        FrameScan scan = Scan({});
        bool tornTail = scan.end == FrameEnd::TornTail
            || (scan.end == FrameEnd::EndMarker && scan.trailing < frame_.FrameSize());
        if (!tornTail) {
            return kBadFormat;
        }
        endAt = scan.boundary;
    }

    std::vector<unsigned char> frame(frame_.FrameSize() + RecordFrame::kMarkerSize);
    StoreLe32(frame.data(), RecordFrame::kRecordMarker);
    std::copy_n(record, frame_.recordSize, frame.data() + RecordFrame::kMarkerSize);
    StoreLe32(frame.data() + frame_.FrameSize(), RecordFrame::kEndMarker);
    const std::uint64_t oldSize = size_;
    if (!WriteAt(frame.data(), frame.size(), endAt)) {
        // Put the end marker back where it was, so the file stays whole without the record.
        unsigned char end[RecordFrame::kMarkerSize];
        StoreLe32(end, RecordFrame::kEndMarker);
        if (::ftruncate(fd_, static_cast<off_t>(endAt)) == 0 && WriteFully(fd_, end, sizeof end, endAt)) {
            size_ = endAt + sizeof end;
        } else {
            size_ = oldSize;
        }
        return kBadFormat;
    }
    const std::uint64_t newSize = endAt + frame.size();
    if (size_ > newSize && ::ftruncate(fd_, static_cast<off_t>(newSize)) != 0) {
        return kBadFormat;
    }
    size_ = newSize;
    return kOk;
}

RecordFile::Replacement::Replacement(std::string tempPath)
    : tempPath_(std::move(tempPath))
{ }

RecordFile::Replacement::~Replacement()
{
    if (fd_ >= 0) {
        ::close(fd_);
        if (!committed_) {
            ::unlink(tempPath_.c_str());
        }
    }
}

int RecordFile::Replacement::Open()
{
    pathMutex_ = PathMutex(tempPath_);
    pathLock_ = std::unique_lock<std::mutex>(*pathMutex_);
    // Not truncated on open: another process may be writing the same temporary name right now.
    if (OpenLocked(tempPath_, O_RDWR | O_CREAT, LOCK_EX, fd_) != 0 || ::ftruncate(fd_, 0) != 0) {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        return kCannotOpen;
    }
    buffer_.reserve(kChunkSize);
    return kOk;
}

bool RecordFile::Replacement::Flush()
{
    if (!buffer_.empty() && !failed_) {
        off_t at = ::lseek(fd_, 0, SEEK_END);
        failed_ = at < 0 || !WriteFully(fd_, buffer_.data(), buffer_.size(), static_cast<std::uint64_t>(at));
    }
    buffer_.clear();
    return !failed_;
}

bool RecordFile::Replacement::Write(const void* data, std::size_t size)
{
    if (fd_ < 0 || failed_) {
        return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (buffer_.size() + size > kChunkSize && !Flush()) {
        return false;
    }
    if (size >= kChunkSize) {
        off_t at = ::lseek(fd_, 0, SEEK_END);
        failed_ = at < 0 || !WriteFully(fd_, bytes, size, static_cast<std::uint64_t>(at));
        return !failed_;
    }
    buffer_.insert(buffer_.end(), bytes, bytes + size);
    return true;
}

int RecordFile::Replacement::Commit(RecordFile& target)
{
    if (fd_ < 0 || !target.isOpen() || !Flush()) {
        return kBadFormat;
    }
    struct stat old
    { };
    if (::fstat(target.fd_, &old) == 0) {
        ::fchmod(fd_, old.st_mode & 07777);
    }
    if (::fsync(fd_) != 0) {
        return kBadFormat;
    }
    if (::rename(tempPath_.c_str(), target.path().c_str()) != 0) {
        return kCannotReplace;
    }
    committed_ = true;
    SyncFolderOf(target.path());
    return kOk;
}

} // namespace tallyhawk
