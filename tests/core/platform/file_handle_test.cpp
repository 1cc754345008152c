#include "core/platform/file_handle.h"
#include "support/file_size_limit.h"
#include "support/scoped_current_folder.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <string>
#include <thread>

namespace tallyhawk
{
namespace
{

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

bool DescriptorOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(FileHandle, PositionalAndSequentialTransfersAreWholeOrFail)
{
    TempDir dir;
    const std::string path = dir.File("list.dat");
    FileHandle file = FileHandle::Open(path, O_RDWR | O_CREAT);
    ASSERT_TRUE(file.valid());
    ASSERT_TRUE(file.WriteAt("hello", 5, 3));
    EXPECT_EQ(ReadFileBytes(path), std::string("\0\0\0hello", 8));

    char bytes[8] = {};
    ASSERT_TRUE(file.ReadAt(bytes, 5, 3));
    EXPECT_EQ(std::string(bytes, 5), "hello");
    // A range that runs past the end is a failure, not the part that was there.
    EXPECT_FALSE(file.ReadAt(bytes, 5, 4));
    EXPECT_FALSE(file.ReadAt(bytes, 1, 8));
    EXPECT_TRUE(file.ReadAt(bytes, 0, 100));

    // Positional transfers leave the file offset at the start for the sequential ones.
    ASSERT_TRUE(file.Read(bytes, 8));
    EXPECT_EQ(std::string(bytes + 3, 5), "hello");
    EXPECT_FALSE(file.Read(bytes, 1));
    EXPECT_EQ(file.ReadSome(bytes, sizeof bytes), 0);
    ASSERT_TRUE(file.Write("!"));
    EXPECT_EQ(ReadFileBytes(path), std::string("\0\0\0hello!", 9));

    EXPECT_TRUE(file.Truncate(4));
    struct stat info
    { };
    ASSERT_TRUE(file.Stat(info));
    EXPECT_EQ(info.st_size, 4);
    EXPECT_TRUE(file.Sync());
}

TEST(FileHandle, EachDescriptorIsClosedOnceByItsLastOwner)
{
    TempDir dir;
    WriteFileBytes(dir.File("a"), "a");
    WriteFileBytes(dir.File("b"), "b");
    FileHandle a = FileHandle::Open(dir.File("a"), O_RDONLY);
    const int fdA = a.get();
    FileHandle moved(std::move(a));
    EXPECT_FALSE(a.valid());
    EXPECT_EQ(moved.get(), fdA);

    FileHandle b = FileHandle::Open(dir.File("b"), O_RDONLY);
    const int fdB = b.get();
    b = std::move(moved); // b's own descriptor goes, a's stays open in b
    EXPECT_FALSE(DescriptorOpen(fdB));
    EXPECT_TRUE(DescriptorOpen(fdA));
    EXPECT_EQ(b.get(), fdA);
    EXPECT_TRUE(b.Close());
    EXPECT_FALSE(DescriptorOpen(fdA));
    EXPECT_TRUE(b.Close());
    EXPECT_FALSE(b.valid());
    // Descriptors of this object are not handed to programs the process starts.
    FileHandle c = FileHandle::Open(dir.File("a"), O_RDONLY);
    EXPECT_EQ(::fcntl(c.get(), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);

    FileHandle missing = FileHandle::Open(dir.File("missing"), O_RDONLY);
    EXPECT_FALSE(missing.valid());
    EXPECT_EQ(errno, ENOENT);
}

TEST(FileHandle, WriteCutShortByTheFileSizeLimitFails)
{
    TempDir dir;
    const std::string data(3000, 'w');
    test::ScopedFileSizeLimit limit(1000);
    ASSERT_TRUE(limit.active());

    FileHandle positional = FileHandle::Open(dir.File("positional"), O_RDWR | O_CREAT);
    EXPECT_FALSE(positional.WriteAt(data.data(), data.size(), 0));
    FileHandle sequential = FileHandle::Open(dir.File("sequential"), O_RDWR | O_CREAT);
    EXPECT_FALSE(sequential.Write(data));
    // What fitted was written: the first call's count was short, the next one failed.
    EXPECT_EQ(ReadFileBytes(dir.File("positional")).size(), 1000u);
    EXPECT_EQ(ReadFileBytes(dir.File("sequential")).size(), 1000u);
}

TEST(FileHandle, OpenLockedRefusesAHeldFileAtOnce)
{
    TempDir dir;
    const std::string path = dir.File("deal.lst");
    FileHandle writer = FileHandle::OpenLocked(path, O_RDWR | O_CREAT, LOCK_EX);
    ASSERT_TRUE(writer.valid());
    FileHandle reader = FileHandle::OpenLocked(path, O_RDONLY, LOCK_SH);
    EXPECT_FALSE(reader.valid());
    EXPECT_EQ(errno, EWOULDBLOCK);
    writer.Close();

    reader = FileHandle::OpenLocked(path, O_RDONLY, LOCK_SH);
    ASSERT_TRUE(reader.valid());
    EXPECT_TRUE(FileHandle::OpenLocked(path, O_RDONLY, LOCK_SH).valid());
    EXPECT_FALSE(FileHandle::OpenLocked(path, O_RDWR, LOCK_EX).valid());

    EXPECT_FALSE(FileHandle::OpenLocked(dir.File("missing"), O_RDONLY, LOCK_SH).valid());
    EXPECT_EQ(errno, ENOENT);
}

TEST(FileHandle, SyncFolderOfFindsTheFolderOfEveryKindOfName)
{
    TempDir dir;
    EXPECT_TRUE(FileHandle::SyncFolderOf(dir.File("list.lst")));
    EXPECT_TRUE(FileHandle::SyncFolderOf("/list.lst"));
    EXPECT_FALSE(FileHandle::SyncFolderOf(dir.File("missing/list.lst")));
    test::ScopedCurrentFolder inside(dir.path());
    ASSERT_TRUE(inside.entered());
    EXPECT_TRUE(FileHandle::SyncFolderOf("list.lst"));
}

// Interrupts a thread's blocking calls with SIGUSR1, whose handler asks for no restart: the calls
// return EINTR, or a short count when part of the transfer was done.
class Interrupter
{
public:
    Interrupter()
    {
        struct sigaction action
        { };
        action.sa_handler = [](int) {
            taken.fetch_add(1);
        };
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        ::sigaction(SIGUSR1, &action, &old_);
    }
    ~Interrupter() { ::sigaction(SIGUSR1, &old_, nullptr); }
    Interrupter(const Interrupter&) = delete;
    Interrupter& operator=(const Interrupter&) = delete;

    // The thread that calls this becomes the one interrupted; one thread per object.
    void Enlist()
    {
        thread_ = ::pthread_self();
        tid_ = ::gettid();
    }

    // Once the thread sleeps in the kernel (waiting on the pipe), signals it and waits for the handler.
    // False when `finished` came first.
    bool InterruptWhenBlocked(const std::atomic<bool>& finished)
    {
        while (tid_ == 0 && !finished) {
            std::this_thread::yield();
        }
        while (!finished && State() != 'S') {
            std::this_thread::yield();
        }
        if (finished) {
            return false;
        }
        const int before = taken.load();
        ::pthread_kill(thread_, SIGUSR1);
        while (taken.load() == before) {
            std::this_thread::yield();
        }
        return true;
    }

    static inline std::atomic<int> taken{0};

private:
    // The state letter of /proc's stat line, which follows the name in parentheses.
    char State() const
    {
        std::string stat = ReadFileBytes("/proc/self/task/" + std::to_string(tid_.load()) + "/stat");
        std::size_t close = stat.rfind(')');
        return close == std::string::npos || close + 2 >= stat.size() ? '?' : stat[close + 2];
    }

    struct sigaction old_
    { };
    pthread_t thread_{};
    std::atomic<pid_t> tid_{0};
};

TEST(FileHandle, InterruptedAndPartialTransfersCarryOn)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    FileHandle readEnd(fds[0]);
    FileHandle writeEnd(fds[1]);

    // A read of 10 bytes gets 5, then waits for the rest through three interruptions.
    ASSERT_TRUE(writeEnd.Write("12345"));
    char got[10] = {};
    std::atomic<bool> finished{false};
    bool readOk = false;
    Interrupter readInterrupter;
    std::thread reader([&] {
        readInterrupter.Enlist();
        readOk = readEnd.Read(got, sizeof got);
        finished = true;
    });
    int waiting = 1;
    while (waiting != 0 && !finished) {
        ::ioctl(fds[0], FIONREAD, &waiting);
        std::this_thread::yield();
    }
    int interrupts = 0;
    for (int i = 0; i < 3; ++i) {
        interrupts += readInterrupter.InterruptWhenBlocked(finished) ? 1 : 0;
    }
    EXPECT_TRUE(writeEnd.Write("67890"));
    reader.join();
    EXPECT_TRUE(readOk);
    EXPECT_EQ(std::string(got, sizeof got), "1234567890");
    EXPECT_EQ(interrupts, 3);

    // A write of 1 MiB into a pipe that holds far less, interrupted each time it waits for room.
    std::string data(1 << 20, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 7 % 251);
    }
    finished = false;
    bool writeOk = false;
    Interrupter writeInterrupter;
    std::thread writer([&] {
        writeInterrupter.Enlist();
        writeOk = writeEnd.Write(data);
        writeEnd.Close(); // so the reading below ends, whatever was written
        finished = true;
    });
    std::string received;
    interrupts = 0;
    char buffer[16384];
    while (received.size() < data.size()) {
        interrupts += writeInterrupter.InterruptWhenBlocked(finished) ? 1 : 0;
        const ssize_t n = readEnd.ReadSome(buffer, sizeof buffer);
        if (n <= 0) {
            ADD_FAILURE() << "the pipe ended after " << received.size() << " bytes";
            break;
        }
        received.append(buffer, static_cast<std::size_t>(n));
    }
    writer.join();
    EXPECT_TRUE(writeOk);
    EXPECT_TRUE(received == data);
    EXPECT_GT(interrupts, 10);
}

} // namespace
} // namespace tallyhawk
