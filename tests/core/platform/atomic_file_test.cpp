#include "core/platform/atomic_file.h"
#include "core/platform/record_file.h"
#include "support/file_size_limit.h"
#include "support/scoped_current_folder.h"
#include "support/temp_dir.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

// Every umask call of this program passes here and is counted: the mask must never change while files
// are replaced.
std::atomic<int> gUmaskCalls{0};

extern "C" mode_t umask(mode_t mask) noexcept
{
    using Umask = mode_t (*)(mode_t);
    static const Umask real = reinterpret_cast<Umask>(::dlsym(RTLD_NEXT, "umask"));
    gUmaskCalls.fetch_add(1);
    return real(mask);
}

namespace tallyhawk
{
namespace
{

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::size_t EntryCount(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

mode_t Mode(const std::string& path)
{
    struct stat info
    { };
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Sets the process's umask for one scope.
class ScopedUmask
{
public:
    explicit ScopedUmask(mode_t mask)
        : old_(::umask(mask))
    { }
    ~ScopedUmask() { ::umask(old_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t old_;
};

TEST(AtomicFile, ReplacesWholeFileAndLeavesNoTemporary)
{
    TempDir dir;
    std::string path = dir.File("list.lst");
    WriteFileBytes(path, "old contents");
    ASSERT_TRUE(AtomicFile::Replace(path, "new"));
    EXPECT_EQ(ReadFileBytes(path), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(AtomicFile, AbandonedWriteKeepsTheOldFile)
{
    TempDir dir;
    std::string path = dir.File("list.lst");
    WriteFileBytes(path, "old contents");
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.Write("half"));
    }
    EXPECT_EQ(ReadFileBytes(path), "old contents");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(AtomicFile, KeepsPermissionsOfTheReplacedFile)
{
    TempDir dir;
    std::string path = dir.File("private.conf");
    WriteFileBytes(path, "x");
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    ASSERT_TRUE(AtomicFile::Replace(path, "y"));
    struct stat info
    { };
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(AtomicFile, FailsInMissingFolder)
{
    TempDir dir;
    EXPECT_FALSE(AtomicFile::Replace(dir.File("missing/list.lst"), "x"));
}

TEST(AtomicFile, BareNameIsReplacedInTheCurrentFolder)
{
    TempDir dir;
    test::ScopedCurrentFolder inside(dir.path());
    ASSERT_TRUE(inside.entered());
    ASSERT_TRUE(AtomicFile::Replace("unit.lst", "first"));
    ASSERT_TRUE(AtomicFile::Replace("unit.lst", "second"));
    EXPECT_EQ(ReadFileBytes(dir.File("unit.lst")), "second");
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

TEST(AtomicFile, WriteFailingHalfWayKeepsTheOldFile)
{
    TempDir dir;
    const std::string path = dir.File("webspider.xml");
    WriteFileBytes(path, "old contents");
    test::ScopedFileSizeLimit limit(100000);
    ASSERT_TRUE(limit.active());

    {
        // One large write goes to the file at once and fails there.
        AtomicFile large(path);
        ASSERT_TRUE(large.Open());
        EXPECT_FALSE(large.Write(std::string(2 << 20, 'L')));
        EXPECT_FALSE(large.Write("more"));
        EXPECT_FALSE(large.Commit());
    }
    {
        // Small writes are gathered; the failure shows when they reach the file.
        AtomicFile small(path);
        ASSERT_TRUE(small.Open());
        const std::string line(100, 's');
        bool written = true;
        for (int i = 0; i < 2000; ++i) {
            written = small.Write(line) && written;
        }
        EXPECT_TRUE(written);
        EXPECT_FALSE(small.Commit());
    }
    EXPECT_FALSE(AtomicFile::Replace(path, std::string(200000, 'r')));
    EXPECT_EQ(ReadFileBytes(path), "old contents");
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

TEST(AtomicFile, FixedTemporaryNameTakesTheOldFilesPlaceOrLeavesItAlone)
{
    TempDir dir;
    const std::string path = dir.File("purchase.dat");
    const std::string temp = dir.File("backup.dat");
    WriteFileBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
    {
        AtomicFile abandoned(path, temp);
        ASSERT_TRUE(abandoned.Open());
        ASSERT_TRUE(abandoned.Write("half", 4));
    }
    EXPECT_EQ(ReadFileBytes(path), "old");
    EXPECT_FALSE(std::filesystem::exists(temp));

    // Another process's holder of the name (a lock of another open file) keeps this one out.
    WriteFileBytes(temp, "stale leftover of an earlier run");
    {
        FileHandle other = FileHandle::OpenLocked(temp, O_RDWR, LOCK_EX);
        ASSERT_TRUE(other.valid());
        AtomicFile refused(path, temp);
        EXPECT_FALSE(refused.Open());
        EXPECT_FALSE(refused.Commit());
    }
    EXPECT_EQ(ReadFileBytes(temp), "stale leftover of an earlier run");

    AtomicFile replacement(path, temp);
    ASSERT_TRUE(replacement.Open());
    const std::string big(3 << 20, 'n'); // past the gathering buffer
    ASSERT_TRUE(replacement.Write("new", 3));
    ASSERT_TRUE(replacement.Write(big.data(), big.size()));
    ASSERT_TRUE(replacement.Write("end", 3));
    ASSERT_TRUE(replacement.Commit());
    EXPECT_FALSE(replacement.Commit());
    EXPECT_EQ(ReadFileBytes(path), "new" + big + "end");
    EXPECT_FALSE(std::filesystem::exists(temp));
    EXPECT_EQ(Mode(path), 0604u);
}

TEST(AtomicFile, ALinkStaysAndTheFileItNamesIsReplaced)
{
    TempDir dir;
    std::filesystem::create_directories(dir.File("data"));
    std::filesystem::create_directories(dir.File("elsewhere"));
    WriteFileBytes(dir.File("elsewhere/deal.lst"), "old");
    WriteFileBytes(dir.File("elsewhere/product.dat"), "old");
    std::filesystem::create_symlink("../elsewhere/deal.lst", dir.File("data/deal.lst"));
    std::filesystem::create_symlink(dir.File("elsewhere/product.dat"), dir.File("data/product.dat"));

    ASSERT_TRUE(AtomicFile::Replace(dir.File("data/deal.lst"), "fresh name"));
    // A fixed temporary name goes beside the file the link leads to, where the rename can reach.
    AtomicFile fixed(dir.File("data/product.dat"), dir.File("data/backup.dat"));
    EXPECT_EQ(fixed.tempPath(), dir.File("elsewhere/backup.dat"));
    ASSERT_TRUE(fixed.Open());
    ASSERT_TRUE(fixed.Write("fixed name"));
    ASSERT_TRUE(fixed.Commit());

    for (const char* name : {"deal.lst", "product.dat"}) {
        EXPECT_TRUE(std::filesystem::is_symlink(dir.File(std::string("data/") + name))) << name;
    }
    EXPECT_EQ(ReadFileBytes(dir.File("elsewhere/deal.lst")), "fresh name");
    EXPECT_EQ(ReadFileBytes(dir.File("elsewhere/product.dat")), "fixed name");
    EXPECT_EQ(EntryCount(dir.File("data")), 2u);
    EXPECT_EQ(EntryCount(dir.File("elsewhere")), 2u);
}

TEST(AtomicFile, StaleTemporariesOfOursAreRemovedOnTheNextSave)
{
    TempDir dir;
    const auto minutesAgo = [](int minutes) {
        return std::filesystem::file_time_type::clock::now() - std::chrono::minutes(minutes);
    };
    struct Leftover
    {
        const char* name;
        int minutesOld;
        bool removed;
    } leftovers[] = {
        {".store.lst.faxqs8", 2, true}, // what a process killed during a save leaves
        {".store.lst.Ab3xY0", 0, false}, // another save may be writing it now
        {".store.lst.faxqs", 2, false}, // not our pattern
        {".store.lst.faxqs8.x", 2, false},
        {".store.lst.fa-qs8", 2, false},
        {".category.lst.faxqs8", 2, false}, // another file's, removed when that one is saved
        {"store.lst.faxqs8", 2, false},
    };
    for (const Leftover& leftover : leftovers) {
        WriteFileBytes(dir.File(leftover.name), "half");
        std::filesystem::last_write_time(dir.File(leftover.name), minutesAgo(leftover.minutesOld));
    }
    // A link with our pattern is no temporary of ours: neither it nor what it names goes.
    WriteFileBytes(dir.File("keep"), "kept");
    std::filesystem::create_symlink("keep", dir.File(".store.lst.link01"));
    std::filesystem::last_write_time(dir.File("keep"), minutesAgo(5));

    ASSERT_TRUE(AtomicFile::Replace(dir.File("store.lst"), "list"));
    for (const Leftover& leftover : leftovers) {
        EXPECT_EQ(std::filesystem::exists(dir.File(leftover.name)), !leftover.removed) << leftover.name;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File(".store.lst.link01")));
    EXPECT_EQ(ReadFileBytes(dir.File("keep")), "kept");
    EXPECT_EQ(ReadFileBytes(dir.File("store.lst")), "list");
}

// New files take the user's umask, whatever other threads replace meanwhile: reading the umask by
// setting it made files created by other threads in that moment world-writable. That moment is short,
// so besides the files' modes the test counts every change of the mask (see umask below).
TEST(AtomicFile, FilesCreatedWhileOthersAreReplacedKeepTheUmask)
{
    TempDir dir;
    ScopedUmask mask(027);
    // Most replacements are abandoned after Open, which is where the mode is settled; many of them
    // make the moment likely to be hit. More threads than cores, so one may be stopped anywhere.
    constexpr int kReplacements = 3000;
    constexpr int kCommitEvery = 200;
    constexpr int kThreads = 3;
    std::atomic<int> replacersLeft{kThreads};
    std::mutex wrongMutex;
    std::vector<std::string> wrong;
    auto note = [&](const std::string& path, mode_t mode) {
        if (mode != 0640) {
            std::lock_guard<std::mutex> guard(wrongMutex);
            wrong.push_back(path + " " + std::to_string(mode));
        }
    };
    auto replacer = [&](int which) {
        for (int i = 0; i < kReplacements; ++i) {
            const std::string path = dir.File("replaced-" + std::to_string(which) + "-" + std::to_string(i));
            const bool commit = i % kCommitEvery == 0;
            AtomicFile file(path);
            const bool done = file.Open() && file.Write("x") && (!commit || file.Commit());
            note(path, !done ? 0 : commit ? Mode(path) : 0640);
            ::unlink(path.c_str());
        }
        --replacersLeft;
    };
    std::atomic<int> created{0};
    auto creator = [&](int which) {
        const RecordFrame frame{4, 4};
        for (int i = 0; replacersLeft > 0; ++i) {
            const std::string path = dir.File("created-" + std::to_string(which) + "-" + std::to_string(i));
            RecordFile file(frame);
            if (file.Open(path, RecordFile::Mode::Append) == kOk) {
                ++created;
                note(path, Mode(path));
            }
            file.Close();
            ::unlink(path.c_str());
        }
    };
    const int umaskCallsBefore = gUmaskCalls.load();
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back(replacer, i);
        threads.emplace_back(creator, i);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(gUmaskCalls.load(), umaskCallsBefore);
    EXPECT_GT(created.load(), 0);
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " files, first " << wrong.front();
}

} // namespace
} // namespace tallyhawk
