#include "core/platform/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <random>

namespace tallyhawk
{
namespace
{

// Writes below this size are gathered; larger ones go straight to the file.
constexpr std::size_t kGatherSize = 1 << 20;
constexpr int kNameAttempts = 100;

// Six letters or digits for a temporary name, different in every call of the process.
std::string UniqueSuffix()
{
    static constexpr std::string_view kLetters
        = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<std::uint64_t> counter{0};
    thread_local std::mt19937_64 random(std::random_device{}());
    std::uint64_t bits = random() ^ counter.fetch_add(1, std::memory_order_relaxed);
    std::string suffix(6, '0');
    for (char& c : suffix) {
        c = kLetters[bits % kLetters.size()];
        bits /= kLetters.size();
    }
    return suffix;
}

} // namespace

AtomicFile::AtomicFile(std::string path)
    : path_(std::move(path))
{ }

AtomicFile::AtomicFile(std::string path, std::string tempPath)
    : path_(std::move(path))
    , tempPath_(std::move(tempPath))
    , fixedTemp_(true)
{ }

AtomicFile::~AtomicFile()
{
    // Removed while still held, so a fixed name that someone else took meanwhile stays theirs.
    if (file_.valid() && !committed_) {
        ::unlink(tempPath_.c_str());
    }
}

bool AtomicFile::Open()
{
    if (file_.valid() || committed_) {
        return false;
    }
    return fixedTemp_ ? OpenFixedTemporary() : OpenFreshTemporary();
}

bool AtomicFile::OpenFreshTemporary()
{
    std::filesystem::path target(path_);
    std::filesystem::path folder
        = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    // Built piece by piece: GCC 12 misreads "." + string as an overlapping copy (-Wrestrict).
    std::string hidden = ".";
    hidden += target.filename().string();
    hidden += '.';
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = (folder / (hidden + UniqueSuffix())).string();
        // Created with the final mode, so the kernel applies the umask: reading the umask would mean
        // changing it for every thread of the process for a moment.
        file_ = FileHandle::Open(name, O_RDWR | O_CREAT | O_EXCL, 0666);
        if (file_.valid()) {
            tempPath_ = std::move(name);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool AtomicFile::OpenFixedTemporary()
{
    tempLock_.emplace(tempPath_);
    // Not truncated on open: another process may be writing the same temporary name right now.
    file_ = FileHandle::OpenLocked(tempPath_, O_RDWR | O_CREAT, LOCK_EX);
    if (!file_.valid() || !file_.Truncate(0)) {
        file_.Close();
        tempLock_.reset();
        return false;
    }
    return true;
}

bool AtomicFile::Flush()
{
    if (!buffer_.empty() && !failed_) {
        failed_ = !file_.Write(buffer_.data(), buffer_.size());
    }
    buffer_.clear();
    return !failed_;
}

bool AtomicFile::Write(const void* data, std::size_t size)
{
    if (!file_.valid() || failed_) {
        return false;
    }
    if (buffer_.size() + size > kGatherSize && !Flush()) {
        return false;
    }
    if (size >= kGatherSize) {
        failed_ = !file_.Write(data, size);
        return !failed_;
    }
    const auto* bytes = static_cast<const char*>(data);
    buffer_.insert(buffer_.end(), bytes, bytes + size);
    return true;
}

bool AtomicFile::Commit()
{
    if (!file_.valid() || committed_ || !Flush()) {
        return false;
    }
    struct stat existing
    { };
    if (::stat(path_.c_str(), &existing) == 0) {
        ::fchmod(file_.get(), existing.st_mode & 07777);
    }
    // Renamed while still open, so a fixed temporary name stays locked until it is gone.
    if (!file_.Sync() || ::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        return false;
    }
    committed_ = true;
    file_.Close();
    tempLock_.reset();
    FileHandle::SyncFolderOf(path_);
    return true;
}

bool AtomicFile::Replace(const std::string& path, std::string_view contents)
{
    AtomicFile file(path);
    return file.Open() && file.Write(contents) && file.Commit();
}

} // namespace tallyhawk
