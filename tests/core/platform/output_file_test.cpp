#include "core/platform/output_file.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

namespace tallyhawk
{
namespace
{

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

ino_t InodeOf(const std::string& path)
{
    struct stat info
    { };
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST(OutputFile, ARegularFileIsReplacedWholeOrNotAtAll)
{
    TempDir dir;
    const std::string path = dir.File("page.html");
    ASSERT_TRUE(OutputFile::Write(path, "first"));
    EXPECT_EQ(ReadFileBytes(path), "first");
    const ino_t before = InodeOf(path);
    {
        // Too little room for the new contents: the old file stays as it was.
        test::ScopedFileSizeLimit limit(10);
        ASSERT_TRUE(limit.active());
        EXPECT_FALSE(OutputFile::Write(path, std::string(100, 'x')));
    }
    EXPECT_EQ(ReadFileBytes(path), "first");
    EXPECT_EQ(InodeOf(path), before);
    ASSERT_TRUE(OutputFile::Write(path, "second"));
    EXPECT_NE(InodeOf(path), before); // a new file took the old one's place
}

TEST(OutputFile, LinksAreFollowedToTheFileTheyName)
{
    TempDir dir;
    std::filesystem::create_directory(dir.File("sub"));
    WriteFileBytes(dir.File("sub/target"), "old");
    // A chain of links, one of them relative to its own folder.
    std::filesystem::create_symlink("target", dir.File("sub/inner"));
    std::filesystem::create_symlink("sub/inner", dir.File("outer"));
    EXPECT_EQ(OutputFile::Resolve(dir.File("outer")), dir.File("sub/target"));
    ASSERT_TRUE(OutputFile::Write(dir.File("outer"), "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("outer")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("sub/inner")));
    EXPECT_EQ(ReadFileBytes(dir.File("sub/target")), "new");

    // Links that go round in a circle lead nowhere: nothing is written.
    std::filesystem::create_symlink("loop-b", dir.File("loop-a"));
    std::filesystem::create_symlink("loop-a", dir.File("loop-b"));
    EXPECT_FALSE(OutputFile::Write(dir.File("loop-a"), "x"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("loop-a")));
}

TEST(OutputFile, PipesAndDevicesAreWrittenWhereTheyAreAndFoldersRefused)
{
    TempDir dir;
    const std::string pipe = dir.File("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFileBytes(pipe); });
    EXPECT_TRUE(OutputFile::Write(pipe, "through the pipe"));
    reader.join();
    EXPECT_EQ(received, "through the pipe");
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));

    EXPECT_TRUE(OutputFile::Write("/dev/null", "gone"));
    EXPECT_FALSE(OutputFile::Write("/dev/full", "no room"));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));

    std::filesystem::create_directory(dir.File("folder"));
    EXPECT_FALSE(OutputFile::Write(dir.File("folder"), "x"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("folder")));
}

} // namespace
} // namespace tallyhawk
