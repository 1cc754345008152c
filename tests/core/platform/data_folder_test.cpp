#include <cstdlib>
#include <gtest/gtest.h>

#include "core/platform/data_folder.h"
#include "support/temp_dir.h"

namespace tallyhawk {
namespace {

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const char* value)
        : name_(name)
    {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv()
    {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

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
