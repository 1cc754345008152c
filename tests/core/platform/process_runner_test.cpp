#include "core/platform/process_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace tallyhawk
{
namespace
{

using namespace std::chrono_literals;

constexpr std::size_t kCap = 64 * 1024;

// Harmless programs only; nothing here reaches a browser.
TEST(ProcessRunner, ArgumentsReachTheProgramUnchanged)
{
    auto output = RunAndCapture({"printf", "[%s]", "a b;\"c\" $(x)"}, 3s, kCap);
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(*output, "[a b;\"c\" $(x)]");
    EXPECT_FALSE(RunAndCapture({"false"}, 3s, kCap).has_value());
    EXPECT_FALSE(RunAndCapture({"/nonexistent/program"}, 3s, kCap).has_value());
    EXPECT_FALSE(RunAndCapture({}, 3s, kCap).has_value());
    EXPECT_FALSE(SpawnDetached({"/nonexistent/program", "x"}));
    EXPECT_FALSE(SpawnDetached({}));
}

TEST(ProcessRunner, OutputOfAFailedRunIsNotAnAnswer)
{
    EXPECT_FALSE(RunAndCapture({"sh", "-c", "echo partial; exit 3"}, 3s, kCap).has_value());
    // stdin is /dev/null: a program that reads it ends at once instead of waiting on ours.
    EXPECT_EQ(RunAndCapture({"cat"}, 3s, kCap), std::string());
}

TEST(ProcessRunner, OutputCapIsAHardLimit)
{
    EXPECT_EQ(RunAndCapture({"head", "-c", "100", "/dev/zero"}, 3s, 101), std::string(100, '\0'));
    EXPECT_FALSE(RunAndCapture({"head", "-c", "100", "/dev/zero"}, 3s, 100).has_value());
    // A program that never stops talking is cut off, not read to the end.
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(RunAndCapture({"yes"}, 10s, kCap).has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

// Whether a process is gone (or only a zombie, which a container's first process may never reap).
bool IsGone(const std::string& pid)
{
    std::ifstream in("/proc/" + pid + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t close = stat.rfind(')');
    return close == std::string::npos || stat.compare(close, 4, ") Z ") == 0;
}

TEST(ProcessRunner, SlowProgramsAndTheirHelpersAreStopped)
{
    test::TempDir dir;
    const std::string pidFile = dir.File("helper.pid");
    auto start = std::chrono::steady_clock::now();
    // The helper keeps the pipe open; the run must still end at its time limit, and take it along.
    EXPECT_FALSE(RunAndCapture({"sh", "-c", "sleep 30 & echo $! > \"$0\"; sleep 30", pidFile}, 500ms, kCap)
                     .has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

    std::string pid = test::ReadFileBytes(pidFile);
    ASSERT_FALSE(pid.empty());
    pid.erase(pid.find_last_not_of('\n') + 1);
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!IsGone(pid) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(IsGone(pid)) << "helper " << pid << " still runs";
}

// Children of this process that are still listed (running or zombies).
std::size_t ChildCount()
{
    std::size_t count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream in(task.path() / "children");
        std::string pid;
        while (in >> pid) {
            ++count;
        }
    }
    return count;
}

TEST(ProcessRunner, DetachedProgramsAreReaped)
{
    if (!std::filesystem::exists("/proc/self/task/" + std::to_string(::gettid()) + "/children")) {
        GTEST_SKIP() << "the kernel does not list children";
    }
    ASSERT_TRUE(SpawnDetached({"true", "http://example.com/"}));
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ChildCount() > 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(ChildCount(), 0u);
}

} // namespace
} // namespace tallyhawk
