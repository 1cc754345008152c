#include "core/settings/settings.h"
#include "core/settings/site_url.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tallyhawk
{
namespace
{

// The value names present in a settings file, in file order.
std::vector<std::string> KeysInFile(const std::string& path)
{
    std::vector<std::string> keys;
    std::istringstream in(test::ReadFileBytes(path));
    std::string line;
    while (std::getline(in, line)) {
        if (auto eq = line.find('='); eq != std::string::npos && line[0] != '[') {
            keys.push_back(line.substr(0, eq));
        }
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

class SettingsFile : public ::testing::Test
{
protected:
    std::string Path() const { return dir_.File("Quillmarch/Tallyhawk.conf"); }
    void Write(const std::string& text)
    {
        std::filesystem::create_directories(dir_.path() / "Quillmarch");
        test::WriteFileBytes(Path(), text);
    }

    test::TempDir dir_;
};

TEST_F(SettingsFile, DefaultsWithoutAFile)
{
    Settings settings(Path());
    EXPECT_EQ(settings.Load(), 0);
    EXPECT_EQ(settings.serverAddress, DefaultServerHost());
    EXPECT_EQ(settings.serverAddress, "deals.quillmarch.com");
    EXPECT_EQ(settings.serverPort, 22);
    EXPECT_EQ(settings.username, "");
    EXPECT_EQ(settings.password, "");
    EXPECT_EQ(settings.autoRun, 1);
    EXPECT_EQ(settings.showSummary, 1);
    EXPECT_EQ(settings.getDeals, 1);
    EXPECT_EQ(settings.getTopics, 1);
    EXPECT_EQ(settings.notifyTimeout, 30);
    EXPECT_EQ(settings.showNotify, 1);
    EXPECT_EQ(settings.useDealsFilter, 0);
    EXPECT_EQ(settings.useTopicsFilter, 0);
    EXPECT_EQ(settings.dealsFilter, "");
    EXPECT_EQ(settings.topicsFilter, "");
    EXPECT_EQ(settings.siteUrl, "");
    EXPECT_EQ(SiteBaseUrl(settings), DefaultSiteUrl());
    EXPECT_FALSE(settings.IsStored("AutoRun"));
    EXPECT_EQ(settings.ReadLastArchive(), 0);
    EXPECT_FALSE(std::filesystem::exists(Path())); // reading writes nothing
}

// A new install remembers alerted deals for 7 days; a file saved before that setting existed keeps
// alerting every deal. The start-up's own values do not make a file "saved before".
TEST_F(SettingsFile, AlertAgainDaysTellsANewInstallFromAnOldFile)
{
    struct Case
    {
        const char* file;
        std::int32_t days;
    };
    const Case cases[] = {
        {nullptr, 7},
        {"[General]\nLastArchive=1700000000\nListsRefreshPending=1\n", 7},
        {"[General]\nDealsFilter=sony\nAutoRun=1\n", 0},
        {"[General]\nShowSummary=0\nAlertAgainDays=3\n", 3},
        {"[General]\nAlertAgainDays=0\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "no file");
        std::filesystem::remove(Path());
        if (c.file) {
            Write(c.file);
        }
        EXPECT_EQ(Settings(Path()).alertAgainDays, c.days);
    }
}

TEST_F(SettingsFile, SaveAndLoadRoundTrip)
{
    Settings settings(Path());
    settings.username = "ann";
    settings.password = "p=ss;w\"rd";
    settings.autoRun = 0;
    settings.showSummary = 0;
    settings.getDeals = 0;
    settings.getTopics = 0;
    settings.notifyTimeout = 7;
    settings.showNotify = 0;
    settings.useDealsFilter = 1;
    settings.useTopicsFilter = 1;
    settings.dealsFilter = "tv, laptop , caf\xc3\xa9";
    settings.topicsFilter = "[General]\nX=1";
    ASSERT_EQ(settings.Save(), 0);

    Settings read(Path());
    EXPECT_EQ(read.Load(), 0);
    EXPECT_EQ(read.username, "ann");
    EXPECT_EQ(read.password, "p=ss;w\"rd");
    EXPECT_EQ(read.autoRun, 0);
    EXPECT_EQ(read.showSummary, 0);
    EXPECT_EQ(read.getDeals, 0);
    EXPECT_EQ(read.getTopics, 0);
    EXPECT_EQ(read.notifyTimeout, 7);
    EXPECT_EQ(read.showNotify, 0);
    EXPECT_EQ(read.useDealsFilter, 1);
    EXPECT_EQ(read.useTopicsFilter, 1);
    EXPECT_EQ(read.dealsFilter, "tv, laptop , caf\xc3\xa9");
    EXPECT_EQ(read.topicsFilter, "[General]\nX=1");
    EXPECT_TRUE(read.IsStored("NotifyTimeout"));
    EXPECT_FALSE(read.IsStored("ServerAddress"));
    EXPECT_EQ(read.ReadText("X"), std::nullopt); // the newline did not start a value of its own
}

TEST_F(SettingsFile, SaveWritesItsValuesOnlyAndKeepsTheOthers)
{
    Write("[General]\nServerAddress=10.0.0.5\nServerPort=2200\nLastArchive=1700000000\nSiteUrl=http://"
          "127.0.0.1:1\n");
    Settings settings(Path());
    EXPECT_EQ(settings.serverAddress, "10.0.0.5");
    EXPECT_EQ(settings.serverPort, 2200);
    EXPECT_EQ(settings.siteUrl, "http://127.0.0.1:1");
    settings.serverAddress = "changed.example";
    settings.serverPort = 1;
    settings.siteUrl = "http://changed.example";
    ASSERT_EQ(settings.Save(), 0);

    EXPECT_EQ(KeysInFile(Path()),
              (std::vector<std::string>{
                  "AlertAgainDays", "AutoRun",       "DealsFilter",    "GetDeals",        "GetTopics",
                  "LastArchive",    "NotifyTimeout", "Password",       "QuietEnd",        "QuietHours",
                  "QuietStart",     "ServerAddress", "ServerPort",     "ShowNotify",      "ShowSummary",
                  "SiteUrl",        "TopicsFilter",  "UseDealsFilter", "UseTopicsFilter", "Username"}));
    Settings read(Path());
    EXPECT_EQ(read.serverAddress, "10.0.0.5");
    EXPECT_EQ(read.serverPort, 2200);
    EXPECT_EQ(read.ReadLastArchive(), 1700000000);
    EXPECT_EQ(read.siteUrl, "http://127.0.0.1:1");
}

TEST_F(SettingsFile, TextsAreCutToTheirReadLimits)
{
    std::string e50;
    for (int i = 0; i < 50; ++i) {
        e50 += "\xc3\xa9"; // é: one character, two bytes
    }
    Write("[General]\nServerAddress=" + std::string(45, 'h') + "\nUsername=" + e50
          + "\nPassword=" + std::string(39, 'p') + "\nDealsFilter=" + std::string(250, 'd')
          + "\nTopicsFilter=" + std::string(199, 't') + "\nSiteUrl=http://" + std::string(300, 's') + "\n");
    Settings settings(Path());
    EXPECT_EQ(settings.serverAddress, std::string(39, 'h'));
    EXPECT_EQ(settings.username, e50.substr(0, 78));
    EXPECT_EQ(settings.password, std::string(39, 'p'));
    EXPECT_EQ(settings.dealsFilter, std::string(199, 'd'));
    EXPECT_EQ(settings.topicsFilter, std::string(199, 't'));
    EXPECT_EQ(settings.siteUrl, "http://" + std::string(300, 's')); // no limit
}

TEST_F(SettingsFile, UnusableValuesKeepTheirDefaults)
{
    Write(
        "[General]\nNotifyTimeout=abc\nServerPort=7x\nAutoRun=99999999999\nShowNotify=\nGetDeals=@Rect(1 2 3 "
        "4)\nUsername=@Rect(1 2 3 4)\nGetTopics=-3\nDealsFilter=tv,radio\n");
    Settings settings(Path());
    EXPECT_EQ(settings.Load(), 0);
    EXPECT_EQ(settings.notifyTimeout, 30);
    EXPECT_EQ(settings.serverPort, 22);
    EXPECT_EQ(settings.autoRun, 1);
    EXPECT_EQ(settings.showNotify, 1);
    EXPECT_EQ(settings.getDeals, 1);
    EXPECT_EQ(settings.username, "");
    EXPECT_FALSE(settings.IsStored("NotifyTimeout"));
    EXPECT_EQ(settings.getTopics, -3); // a number, if an odd one
    EXPECT_EQ(settings.dealsFilter, "tv,radio"); // unquoted commas still give the text
}

TEST_F(SettingsFile, UnreadableAndDamagedFiles)
{
    // A folder where the file should be: nothing can be read or written.
    std::filesystem::create_directories(Path());
    Settings settings(Path());
    EXPECT_EQ(settings.Load(), -1);
    EXPECT_EQ(settings.notifyTimeout, 30);
    EXPECT_EQ(settings.Save(), -1);
    EXPECT_EQ(settings.WriteLastArchive(5), -1);
    std::filesystem::remove(Path());

    // Lines the reader does not understand: reported, but the readable values still count.
    Write("[General]\nNotifyTimeout=12\nno value here\n");
    Settings damaged(Path());
    EXPECT_EQ(damaged.Load(), -1);
    EXPECT_EQ(damaged.notifyTimeout, 12);
    EXPECT_EQ(Settings(Path()).Load(), -1); // still damaged for a later reader
    Write("[General]\nNotifyTimeout=13\n");
    EXPECT_EQ(damaged.Load(), 0);
    EXPECT_EQ(damaged.notifyTimeout, 13);

    // The folder is a file: the save fails.
    test::WriteFileBytes(dir_.File("plain"), "x");
    Settings blocked(dir_.File("plain/Tallyhawk.conf"));
    EXPECT_EQ(blocked.Save(), -1);
}

// ApplyAutoRun follows AutoRun; the entry itself is AutostartEntry's (tests/core/platform).
class AutoRun : public ::testing::Test
{
protected:
    std::string Entry() const { return dir_.File("config/autostart/tallyhawk.desktop"); }

    test::TempDir dir_;
    test::ScopedEnv configHome_{"XDG_CONFIG_HOME", dir_.File("config")};
    Settings settings_{dir_.File("settings.conf")};
};

TEST_F(AutoRun, EntryWrittenAndRemovedAsAutoRunSays)
{
    settings_.autoRun = 1;
    EXPECT_EQ(settings_.ApplyAutoRun("/usr/local/bin/tallyhawk"), Settings::AutoRunResult::Written);
    EXPECT_EQ(test::ReadFileBytes(Entry()),
              "[Desktop Entry]\nType=Application\nName=Tallyhawk\nExec=/usr/local/bin/tallyhawk m\n");

    settings_.autoRun = 0;
    EXPECT_EQ(settings_.ApplyAutoRun("/usr/local/bin/tallyhawk"), Settings::AutoRunResult::Removed);
    EXPECT_FALSE(std::filesystem::exists(Entry()));
    EXPECT_EQ(settings_.ApplyAutoRun("/usr/local/bin/tallyhawk"), Settings::AutoRunResult::NothingToRemove);

    // Only exactly 1 means on.
    settings_.autoRun = 2;
    EXPECT_EQ(settings_.ApplyAutoRun("/usr/local/bin/tallyhawk"), Settings::AutoRunResult::NothingToRemove);
    settings_.autoRun = -1;
    EXPECT_EQ(settings_.ApplyAutoRun("/usr/local/bin/tallyhawk"), Settings::AutoRunResult::NothingToRemove);
    EXPECT_FALSE(std::filesystem::exists(Entry()));
}

} // namespace
} // namespace tallyhawk
