#include "core/platform/autostart_entry.h"
#include "core/platform/browser_launcher.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tallyhawk
{
namespace
{

using Result = AutostartEntry::Result;

class Autostart : public ::testing::Test
{
protected:
    std::string Entry() const { return dir_.File("config/autostart/tallyhawk.desktop"); }

    test::TempDir dir_;
    test::ScopedEnv configHome_{"XDG_CONFIG_HOME", dir_.File("config")};
    test::ScopedEnv home_{"HOME", dir_.File("home")};
};

TEST_F(Autostart, PathFollowsTheConfigFolderElseHome)
{
    EXPECT_EQ(AutostartEntry::DefaultFilePath(), Entry());
    EXPECT_EQ(AutostartEntry().filePath(), Entry());
    // A relative config folder is not usable; the home folder's is.
    test::ScopedEnv relative("XDG_CONFIG_HOME", "config");
    EXPECT_EQ(AutostartEntry::DefaultFilePath(), dir_.File("home/.config/autostart/tallyhawk.desktop"));
    test::ScopedEnv unset("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(AutostartEntry::DefaultFilePath(), dir_.File("home/.config/autostart/tallyhawk.desktop"));
}

TEST_F(Autostart, WrittenWholeAndRemoved)
{
    AutostartEntry entry;
    ASSERT_EQ(entry.Write("/usr/local/bin/tallyhawk"), Result::Written); // the folders are made
    EXPECT_EQ(test::ReadFileBytes(Entry()),
              "[Desktop Entry]\nType=Application\nName=Tallyhawk\nExec=/usr/local/bin/tallyhawk m\n");
    // A second write replaces the entry, never appends to it.
    ASSERT_EQ(entry.Write("/opt/t"), Result::Written);
    EXPECT_EQ(test::ReadFileBytes(Entry()),
              "[Desktop Entry]\nType=Application\nName=Tallyhawk\nExec=/opt/t m\n");

    EXPECT_EQ(entry.Remove(), Result::Removed);
    EXPECT_FALSE(std::filesystem::exists(Entry()));
    EXPECT_EQ(entry.Remove(), Result::NothingToRemove);
    EXPECT_TRUE(std::filesystem::is_empty(dir_.File("config/autostart"))); // no temporary file left
}

TEST_F(Autostart, WhatCannotBeChangedIsSkipped)
{
    // A folder where the entry should be: neither written over nor removed.
    std::filesystem::create_directories(Entry() + "/inside");
    AutostartEntry entry;
    EXPECT_EQ(entry.Write("/usr/bin/tallyhawk"), Result::Skipped);
    EXPECT_EQ(entry.Remove(), Result::Skipped);
    EXPECT_TRUE(std::filesystem::is_directory(Entry() + "/inside"));

    // The config folder is a file.
    test::WriteFileBytes(dir_.File("plain"), "a file, not a folder");
    AutostartEntry blocked(dir_.File("plain/autostart/tallyhawk.desktop"));
    EXPECT_EQ(blocked.Write("/usr/bin/tallyhawk"), Result::Skipped);
    EXPECT_EQ(test::ReadFileBytes(dir_.File("plain")), "a file, not a folder");
}

TEST_F(Autostart, PathsThatNeedQuoting)
{
    AutostartEntry entry;
    ASSERT_EQ(entry.Write("/opt/My Apps/tally$hawk"), Result::Written);
    EXPECT_EQ(test::ReadFileBytes(Entry()),
              "[Desktop Entry]\nType=Application\nName=Tallyhawk\nExec=\"/opt/My Apps/tally\\\\$hawk\" m\n");

    // Exec rules first (quotes, \" \` \$ \\ inside them, %% for %), then the entry's own escapes.
    EXPECT_EQ(AutostartEntry::ExecWord("/usr/bin/tallyhawk"), "/usr/bin/tallyhawk");
    EXPECT_EQ(AutostartEntry::ExecWord("/a/100%/b"), "/a/100%%/b");
    EXPECT_EQ(AutostartEntry::ExecWord("/a b/\"q\"\\"), "\"/a b/\\\\\"q\\\\\"\\\\\\\\\"");
    EXPECT_EQ(AutostartEntry::ExecWord("/a\tb\nc`d"), "\"/a\\tb\\nc\\\\`d\"");
    EXPECT_EQ(AutostartEntry::ExecWord(""), "\"\"");
    // Read back by the Exec rules (no backslashes left after the entry's own escapes here).
    EXPECT_EQ(
        BrowserLauncher::ExecutableOfExecLine(AutostartEntry::ExecWord("/opt/My Apps/tallyhawk") + " m"),
        "/opt/My Apps/tallyhawk");
}

} // namespace
} // namespace tallyhawk
