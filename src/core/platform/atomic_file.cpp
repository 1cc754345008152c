#include "core/platform/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <random>

namespace tallyhawk
{
namespace
{

// Writes below this size are gathered; larger ones go straight to the file.
constexpr std::size_t kGatherSize = 1 << 20;
constexpr int kNameAttempts = 100;
constexpr std::size_t kSuffixLength = 6;
// As many links as the kernel follows in one path.
constexpr int kLinkLimit = 40;
// A temporary file that has not changed for this long belongs to a process that is gone.
constexpr std::chrono::seconds kStaleAge(60);

std::filesystem::path FolderOf(const std::string& path)
{
    const std::filesystem::path target(path);
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

// "." + the file's name + ".": every fresh temporary name of that file starts so.
std::string HiddenPrefix(const std::string& path)
{
    // Built piece by piece: GCC 12 misreads "." + string as an overlapping copy (-Wrestrict).
    std::string hidden = ".";
    hidden += std::filesystem::path(path).filename().string();
    hidden += '.';
    return hidden;
}

bool IsSuffix(std::string_view text)
{
    return text.size() == kSuffixLength && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
           });
}

// Six letters or digits for a temporary name, different in every call of the process.
std::string UniqueSuffix()
{
    static constexpr std::string_view kLetters
        = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<std::uint64_t> counter{0};
    thread_local std::mt19937_64 random(std::random_device{}());
    std::uint64_t bits = random() ^ counter.fetch_add(1, std::memory_order_relaxed);
    std::string suffix(kSuffixLength, '0');
    for (char& c : suffix) {
        c = kLetters[bits % kLetters.size()];
        bits /= kLetters.size();
    }
    return suffix;
}

} // namespace

std::string AtomicFile::Resolve(const std::string& path)
{
    std::filesystem::path current(path);
    for (int step = 0; step < kLinkLimit; ++step) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, error))) {
            return current.string();
        }
        std::filesystem::path target = std::filesystem::read_symlink(current, error);
        if (error) {
            return current.string();
        }
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return path;
}

AtomicFile::AtomicFile(std::string path)
    : path_(Resolve(path))
{ }

AtomicFile::AtomicFile(std::string path, std::string tempPath)
    : path_(Resolve(path))
    , tempPath_(std::move(tempPath))
    , fixedTemp_(true)
{
    // A rename works inside one file system only: the temporary file goes beside the file itself.
    const std::filesystem::path given(path);
    const std::filesystem::path target(path_);
    if (given.parent_path() != target.parent_path()) {
        tempPath_ = (target.parent_path() / std::filesystem::path(tempPath_).filename()).string();
    }
}

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
    const std::filesystem::path folder = FolderOf(path_);
    const std::string hidden = HiddenPrefix(path_);
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
    RemoveStaleTemporaries();
    return true;
}

void AtomicFile::RemoveStaleTemporaries() const
{
    const std::string hidden = HiddenPrefix(path_);
    const auto staleBefore = std::filesystem::file_time_type::clock::now() - kStaleAge;
    std::error_code error;
    for (std::filesystem::directory_iterator it(FolderOf(path_), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with(hidden) || !IsSuffix(std::string_view(name).substr(hidden.size()))) {
            continue;
        }
        std::error_code entryError;
        // Not through a link: only a file of ours is removed.
        if (!it->is_regular_file(entryError) || it->is_symlink(entryError)
            || it->last_write_time(entryError) >= staleBefore || entryError) {
            continue;
        }
        ::unlink(it->path().c_str());
    }
}

bool AtomicFile::Replace(const std::string& path, std::string_view contents)
{
    AtomicFile file(path);
    return file.Open() && file.Write(contents) && file.Commit();
}

} // namespace tallyhawk
