#include "core/platform/atomic_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tallyhawk
{
namespace
{

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

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

} // namespace
} // namespace tallyhawk
