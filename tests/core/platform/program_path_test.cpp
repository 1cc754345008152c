#include "core/platform/program_path.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tallyhawk
{
namespace
{

void MakeProgram(const std::filesystem::path& path, bool executable = true)
{
    std::filesystem::create_directories(path.parent_path());
    test::WriteFileBytes(path.string(), "#!/bin/sh\n");
    ::chmod(path.c_str(), executable ? 0755 : 0644);
}

TEST(ProgramPath, BesideThenBuildSiblingThenBeside)
{
    test::TempDir dir;
    const std::filesystem::path cli = dir.path() / "src/cli/tallyhawk-cli";
    MakeProgram(cli);
    EXPECT_EQ(DesktopProgramPath(cli), (dir.path() / "src/cli/tallyhawk").string()); // neither exists

    MakeProgram(dir.path() / "src/cli/tallyhawk", false); // not a program
    MakeProgram(dir.path() / "src/gui/tallyhawk");
    EXPECT_EQ(DesktopProgramPath(cli), (dir.path() / "src/gui/tallyhawk").string());

    MakeProgram(dir.path() / "src/cli/tallyhawk");
    EXPECT_EQ(DesktopProgramPath(cli), (dir.path() / "src/cli/tallyhawk").string());
}

TEST(ProgramPath, TheRunningProgram)
{
    std::filesystem::path self = CurrentExecutablePath();
    EXPECT_TRUE(self.is_absolute());
    EXPECT_EQ(self.filename(), "test_program_path");
    EXPECT_EQ(DesktopProgramPath(), (self.parent_path() / "tallyhawk").string());
}

} // namespace
} // namespace tallyhawk
