#include "cli_in_process.h"
#include "core/common/program_version.h"
#include "support/cli_process.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

namespace tallyhawk
{
namespace
{

using test::ProgramRun;

// Every run gets private settings, data and desktop folders.
class CommonCommands : public ::testing::Test
{
protected:
    ProgramRun Run(const std::vector<std::string>& args) { return test::RunCliInProcess(args, dir_.path()); }
    // The executable: its real stdout, and the desktop program found beside it.
    ProgramRun Spawn(const std::vector<std::string>& args)
    {
        return test::RunProgram(TALLYHAWK_CLI_PATH, args, dir_.path());
    }
    std::string DataFile(const std::string& name) const { return dir_.File("data/tallyhawk/" + name); }

    test::TempDir dir_;
    test::ScopedEnv config_{"XDG_CONFIG_HOME", dir_.File("config")};
    test::ScopedEnv data_{"XDG_DATA_HOME", dir_.File("data")};
    test::ScopedEnv home_{"TALLYHAWK_HOME", nullptr};
    test::ScopedEnv browser_{"BROWSER", nullptr};
};

TEST_F(CommonCommands, SiteUrlFollowsTheSiteUrlSetting)
{
    ProgramRun run = Run({"config", "set", "SiteUrl", "http://127.0.0.1:9/"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = Run({"site-url", "redir", "2", "-7"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "http://127.0.0.1:9/redir.aspx?srcType=2&srcId=-7\n");
    EXPECT_EQ(Run({"site-url", "categories", "4000"}).out,
              "http://127.0.0.1:9/categories.aspx?idx=4000&user=Tallyhawk\n");

    EXPECT_EQ(Run({"site-url", "nowhere"}).exitCode, 2);
    EXPECT_EQ(Run({"site-url", "coupon", "12x"}).exitCode, 2);
    EXPECT_EQ(Run({"site-url", "messages", "3"}).exitCode, 2);
    EXPECT_EQ(Run({"site-url", "root", "1"}).exitCode, 2);
}

TEST_F(CommonCommands, SiteUrlOpenStartsTheBrowserWithOneArgument)
{
    // A stand-in browser that records its arguments.
    const std::string browser = dir_.File("fake browser");
    test::WriteFileBytes(
        browser, "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"$0.args.tmp\"\nmv \"$0.args.tmp\" \"$0.args\"\n");
    ::chmod(browser.c_str(), 0755);
    test::ScopedEnv setBrowser("BROWSER", "\"" + browser + "\" --ignored %s");
    ASSERT_EQ(Run({"config", "set", "SiteUrl", "http://h/a b;c"}).exitCode, 0);

    ProgramRun run = Run({"site-url", "--open", "download"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string args = browser + ".args";
    for (int i = 0; i < 250 && !std::filesystem::exists(args); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(test::ReadFileBytes(args), "1|http://h/a b;c/download.aspx|");
}

TEST_F(CommonCommands, ListsAddAndShow)
{
    ProgramRun run = Run({"lists", "add", "store.lst", "Corner Shop"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "5000\n");
    EXPECT_EQ(Run({"lists", "add", "store.lst", std::string(60, 'n')}).out, "5001\n");

    run = Run({"lists", "show", "--json", "store.lst"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    nlohmann::json shown = nlohmann::json::parse(run.out);
    EXPECT_EQ(shown["count"], 2);
    EXPECT_EQ(shown["entries"][0]["id"], 5000);
    EXPECT_EQ(shown["entries"][0]["name"], "Corner Shop");
    EXPECT_EQ(shown["entries"][0]["count"], 0);
    EXPECT_EQ(shown["entries"][1]["name"], std::string(49, 'n'));

    // Names that are not UTF-8 are shown as Windows-1252.
    std::string file = test::ReadFileBytes(DataFile("store.lst"));
    file[4 + 4 + 8] = '\xe9';
    test::WriteFileBytes(DataFile("store.lst"), file);
    EXPECT_EQ(nlohmann::json::parse(Run({"lists", "show", "--json", "store.lst"}).out)["entries"][0]["name"],
              "\xc3\xa9orner Shop");

    run = Run({"lists", "show", "store.lst"});
    EXPECT_NE(run.out.find("5001           0  nnnn"), std::string::npos) << run.out;
    EXPECT_EQ(Run({"lists", "show", "missing.lst"}).exitCode, 1);
    EXPECT_EQ(Run({"lists", "frob"}).exitCode, 2);
    EXPECT_EQ(Run({"lists"}).exitCode, 2);
}

TEST_F(CommonCommands, DamagedListIsReportedAndNeverSavedOver)
{
    ASSERT_EQ(Run({"lists", "add", "category.lst", "Tools"}).exitCode, 0);
    const std::string good = test::ReadFileBytes(DataFile("category.lst"));
    std::string bytes = good;
    bytes[4] = 1; // the entry marker
    test::WriteFileBytes(DataFile("category.lst"), bytes);

    ProgramRun run = Run({"lists", "add", "category.lst", "Garden"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("The list file category.lst is damaged: a file or entry marker is wrong."),
              std::string::npos)
        << run.err;
    EXPECT_EQ(test::ReadFileBytes(DataFile("category.lst")), bytes);

    test::WriteFileBytes(DataFile("category.lst"), good.substr(0, 30));
    run = Run({"lists", "show", "category.lst"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("is damaged: it ends too early"), std::string::npos) << run.err;
}

TEST_F(CommonCommands, VersionIsTheReleaseVersionAndTouchesNoFolder)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--version"}, {"--data-dir", dir_.File("elsewhere"), "--version"}}) {
        ProgramRun run = Spawn(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, "tallyhawk-cli " + std::string(kReleaseVersion) + "\n");
        EXPECT_EQ(run.err, "");
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.File("data")));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("elsewhere")));
    EXPECT_NE(Spawn({"--help"}).out.find("tallyhawk-cli --version"), std::string::npos);
}

TEST_F(CommonCommands, ConfigSetShowAndAutorun)
{
    ASSERT_EQ(Run({"config", "set", "ServerPort", "2200"}).exitCode, 0);
    ASSERT_EQ(Run({"config", "set", "DealsFilter", "tv, radio"}).exitCode, 0);
    ASSERT_EQ(Run({"config", "set", "Password", "secret"}).exitCode, 0);
    EXPECT_EQ(Run({"config", "set", "ServerPort", "0"}).exitCode, 2);
    EXPECT_EQ(Run({"config", "set", "ShowNotify", "yes"}).exitCode, 2);
    EXPECT_EQ(Run({"config", "set", "Colour", "1"}).exitCode, 2);
    EXPECT_EQ(Run({"config", "set", "ServerAddress", std::string(40, 'h')}).exitCode, 2);

    ProgramRun run = Run({"config", "show", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    nlohmann::json shown = nlohmann::json::parse(run.out);
    EXPECT_EQ(shown["file"], dir_.File("config/Quillmarch/Tallyhawk.conf"));
    EXPECT_EQ(shown["values"]["ServerPort"]["value"], 2200);
    EXPECT_EQ(shown["values"]["ServerPort"]["stored"], true);
    EXPECT_EQ(shown["values"]["NotifyTimeout"]["value"], 30);
    EXPECT_EQ(shown["values"]["NotifyTimeout"]["stored"], false);
    EXPECT_EQ(shown["values"]["DealsFilter"]["value"], "tv, radio");
    EXPECT_EQ(shown["values"]["Password"]["value"], "********");
    EXPECT_EQ(shown["values"]["ServerAddress"]["value"], "deals.quillmarch.com");
    EXPECT_EQ(shown["values"]["LastArchive"]["value"], 0);
    EXPECT_EQ(shown["values"].size(), 21u);
    EXPECT_EQ(run.out.find("secret"), std::string::npos);

    run = Spawn({"config", "autorun"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::string entry = test::ReadFileBytes(dir_.File("config/autostart/tallyhawk.desktop"));
    EXPECT_NE(entry.find("\nExec=/"), std::string::npos) << entry;
    EXPECT_NE(entry.find("/tallyhawk m\n"), std::string::npos) << entry;

    ASSERT_EQ(Run({"config", "set", "AutoRun", "0"}).exitCode, 0);
    run = Run({"config", "autorun"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("was removed"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("config/autostart/tallyhawk.desktop")));
}

TEST_F(CommonCommands, ConfigSetKeepsToEachSettingsLimits)
{
    ASSERT_EQ(Run({"config", "set", "NotifyTimeout", "9"}).exitCode, 0);
    const std::string file = dir_.File("config/Quillmarch/Tallyhawk.conf");
    const std::string before = test::ReadFileBytes(file);
    std::string e40;
    for (int i = 0; i < 40; ++i) {
        e40 += "\xc3\xa9"; // one character, two bytes
    }
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"ServerPort", "65536"}, "ServerPort must be a whole number from 1 to 65535, not 65536."},
        {{"NotifyTimeout", "0"}, "NotifyTimeout must be a whole number from 1 to 2147483647, not 0."},
        {{"AutoRun", "2"}, "AutoRun must be 0 or 1, not 2."},
        {{"UseTopicsFilter", "-1"}, "UseTopicsFilter must be 0 or 1, not -1."},
        {{"LastArchive", "2147483648"},
         "LastArchive must be a whole number from -2147483648 to 2147483647, not 2147483648."},
        {{"Username", e40}, "Username holds at most 39 characters."},
        {{"TopicsFilter", std::string(200, 't')}, "TopicsFilter holds at most 199 characters."},
        {{"SiteUrl", "ftp://127.0.0.1/"}, "SiteUrl must start with http:// or https://."},
    };
    for (const auto& [words, message] : refused) {
        std::vector<std::string> args = {"config", "set"};
        args.insert(args.end(), words.begin(), words.end());
        ProgramRun run = Run(args);
        EXPECT_EQ(run.exitCode, 2) << message;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "tallyhawk-cli: " + message + " See 'tallyhawk-cli config set --help'.\n");
    }
    EXPECT_EQ(test::ReadFileBytes(file), before); // nothing refused reached the file

    // The limits themselves are allowed; the password is never echoed.
    ProgramRun run = Run({"config", "set", "Username", e40.substr(2)});
    EXPECT_EQ(run.out, "Set Username to " + e40.substr(2) + ".\n");
    EXPECT_EQ(Run({"config", "set", "ServerPort", "65535"}).out, "Set ServerPort to 65535.\n");
    EXPECT_EQ(Run({"config", "set", "LastArchive", "-2147483648"}).exitCode, 0);
    EXPECT_EQ(Run({"config", "set", "Password", "secret"}).out, "Set Password to ********.\n");
    nlohmann::json shown = nlohmann::json::parse(Run({"config", "show", "--json"}).out);
    EXPECT_EQ(shown["values"]["Username"]["value"], e40.substr(2));
    EXPECT_EQ(shown["values"]["LastArchive"]["value"], -2147483648LL);
    EXPECT_EQ(shown["values"]["LastArchive"]["stored"], true);
    EXPECT_EQ(shown["values"]["SiteUrl"]["stored"], false);
}

} // namespace
} // namespace tallyhawk
