#include "core/platform/data_folder.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tallyhawk
{
namespace
{

using test::ScopedEnv;

TEST(DataFolder, OptionThenTallyhawkHomeThenXdg)
{
    ScopedEnv home("TALLYHAWK_HOME", "/tmp/th-home");
    ScopedEnv xdg("XDG_DATA_HOME", "/tmp/xdg");
    EXPECT_EQ(ResolveDataFolder(std::string("/tmp/opt")), "/tmp/opt");
    EXPECT_EQ(ResolveDataFolder(std::nullopt), "/tmp/th-home");
    ScopedEnv noHome("TALLYHAWK_HOME", nullptr);
    EXPECT_EQ(ResolveDataFolder(std::nullopt), "/tmp/xdg/tallyhawk");
    ScopedEnv noXdg("XDG_DATA_HOME", "");
    ScopedEnv userHome("HOME", "/tmp/user");
    EXPECT_EQ(ResolveDataFolder(std::nullopt), "/tmp/user/.local/share/tallyhawk");
}

TEST(DataFolder, PrepareCreatesWebSearchAndEntersIt)
{
    test::TempDir dir;
    auto before = std::filesystem::current_path();
    std::string error;
    ASSERT_TRUE(PrepareDataFolder(dir.path() / "data", error)) << error;
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "data" / "WebSearch"));
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(dir.path() / "data"));
    std::filesystem::current_path(before);
}

TEST(DataFolder, PrepareReportsAFileInTheWay)
{
    test::TempDir dir;
    test::WriteFileBytes(dir.File("data"), "not a folder");
    std::string error;
    EXPECT_FALSE(PrepareDataFolder(dir.path() / "data", error));
    EXPECT_NE(error.find("Cannot create the data folder"), std::string::npos);
}

} // namespace
} // namespace tallyhawk
