#include "core/platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

namespace tallyhawk
{
namespace
{

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

AtomicFile::~AtomicFile()
{
    file_.Close();
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
    }
}

bool AtomicFile::Open()
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
            // An existing file keeps its permissions.
            struct stat existing
            { };
            if (::stat(path_.c_str(), &existing) == 0) {
                ::fchmod(file_.get(), existing.st_mode & 07777);
            }
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool AtomicFile::Write(const void* data, std::size_t size)
{
    if (!file_.valid() || failed_) {
        return false;
    }
    failed_ = !file_.Write(data, size);
    return !failed_;
}

bool AtomicFile::Commit()
{
    if (!file_.valid() || failed_) {
        return false;
    }
    bool ok = file_.Sync();
    ok = file_.Close() && ok;
    if (!ok || ::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        return false;
    }
    tempPath_.clear();
    return true;
}

bool AtomicFile::Replace(const std::string& path, std::string_view contents)
{
    AtomicFile file(path);
    return file.Open() && file.Write(contents) && file.Commit();
}

} // namespace tallyhawk
