#include "core/platform/browser_launcher.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tallyhawk
{
namespace
{

using Argv = std::vector<std::string>;

// Records every program the launcher starts or asks, and answers the default-browser questions.
struct FakeSystem
{
    std::vector<Argv> started;
    std::vector<Argv> asked;
    std::map<std::string, std::optional<std::string>> answers; // by program name
    bool browserStarts = true;

    BrowserLauncher Launcher()
    {
        return BrowserLauncher(
            [this](const Argv& argv) {
                started.push_back(argv);
                return argv[0] == "xdg-open" || browserStarts;
            },
            [this](const Argv& argv) -> std::optional<std::string> {
                asked.push_back(argv);
                auto it = answers.find(argv[0]);
                return it == answers.end() ? std::nullopt : it->second;
            });
    }
};

// A private desktop: $BROWSER unset, $XDG_DATA_HOME and $XDG_DATA_DIRS in a temporary folder.
class BrowserLookup : public ::testing::Test
{
protected:
    void WriteEntry(const std::string& folder, const std::string& relative, const std::string& text)
    {
        std::filesystem::path file = dir_.path() / folder / "applications" / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }

    test::TempDir dir_;
    test::ScopedEnv browser_{"BROWSER", nullptr};
    test::ScopedEnv dataHome_{"XDG_DATA_HOME", (dir_.path() / "home").string()};
    test::ScopedEnv dataDirs_{
        "XDG_DATA_DIRS", (dir_.path() / "sys1").string() + ":relative:" + (dir_.path() / "sys2").string()};
    FakeSystem system_;
};

TEST_F(BrowserLookup, BrowserVariableComesFirst)
{
    test::ScopedEnv browser("BROWSER", "\"/opt/My Browser/browse\" --private %s:chromium");
    BrowserLauncher launcher = system_.Launcher();
    EXPECT_EQ(launcher.command(), "/opt/My Browser/browse");
    EXPECT_TRUE(system_.asked.empty());
}

TEST_F(BrowserLookup, DefaultDesktopEntryFromXdgSettings)
{
    WriteEntry("home",
               "test-browser.desktop",
               "[Desktop Entry]\nName=Test\nExec = \"/opt/x y/back\\\\\\\\slash\" %u\n"
               "[Desktop Action new]\nExec=/wrong --new %u\n");
    system_.answers["xdg-settings"] = "test-browser.desktop\n";
    BrowserLauncher launcher = system_.Launcher();
    EXPECT_EQ(launcher.command(), "/opt/x y/back\\slash");
    ASSERT_EQ(system_.asked.size(), 1u);
    EXPECT_EQ(system_.asked[0], (Argv{"xdg-settings", "get", "default-web-browser"}));
}

TEST_F(BrowserLookup, XdgMimeAnswerAndLaterDataFolders)
{
    WriteEntry("sys2", "kde4/konq.desktop", "# comment\n[Desktop Entry]\nExec=konq %U\n");
    system_.answers["xdg-settings"] = std::nullopt;
    system_.answers["xdg-mime"] = "kde4-konq.desktop;other.desktop;\n";
    BrowserLauncher launcher = system_.Launcher();
    EXPECT_EQ(launcher.command(), "konq");
    ASSERT_EQ(system_.asked.size(), 2u);
    EXPECT_EQ(system_.asked[1], (Argv{"xdg-mime", "query", "default", "x-scheme-handler/http"}));
}

TEST_F(BrowserLookup, EntryLinesEndInCarriageReturnsOrAtTheEndOfTheFile)
{
    WriteEntry("home", "crlf.desktop", "[Desktop Entry]\r\nName=Crlf\r\n\r\nExec=/usr/bin/crlf %u");
    system_.answers["xdg-settings"] = "crlf.desktop";
    EXPECT_EQ(system_.Launcher().command(), "/usr/bin/crlf");
}

TEST_F(BrowserLookup, EntriesThatCannotBeReducedOrReachedAreNotUsed)
{
    // A sandbox runner needs its own arguments; the desktop's opener handles it instead.
    WriteEntry("home", "sandboxed.desktop", "[Desktop Entry]\nExec=/usr/bin/runner run --app=web %u\n");
    WriteEntry("home", "evil.desktop", "[Desktop Entry]\nExec=/bin/evil %u\n");
    system_.answers["xdg-settings"] = "sandboxed.desktop";
    system_.answers["xdg-mime"] = "../home/applications/evil.desktop";
    BrowserLauncher launcher = system_.Launcher();
    EXPECT_EQ(launcher.command(), "");

    ASSERT_TRUE(launcher.Open("http://example.com/", true));
    EXPECT_EQ(system_.started.back(), (Argv{"xdg-open", "http://example.com/"}));
}

TEST_F(BrowserLookup, LookupIsNotRepeatedOnceFound)
{
    test::ScopedEnv first("BROWSER", "first-browser");
    BrowserLauncher launcher = system_.Launcher();
    test::ScopedEnv second("BROWSER", "second-browser");
    launcher.LookUp();
    EXPECT_EQ(launcher.command(), "first-browser");

    BrowserLauncher fresh = system_.Launcher();
    EXPECT_EQ(fresh.command(), "second-browser");
}

TEST_F(BrowserLookup, OpenPassesTheAddressAsOneArgument)
{
    test::ScopedEnv browser("BROWSER", "web");
    BrowserLauncher launcher = system_.Launcher();
    const std::string url = "http://h/a b?q=\"x\";rm -rf ~ & `id` $(id) 'y'";
    ASSERT_TRUE(launcher.Open(url, true));
    EXPECT_EQ(system_.started.back(), (Argv{"web", url}));

    ASSERT_TRUE(launcher.Open("http://h/", false));
    EXPECT_EQ(system_.started.back(), (Argv{"xdg-open", "http://h/"}));

    system_.browserStarts = false;
    ASSERT_TRUE(launcher.Open("http://h/2", true));
    ASSERT_GE(system_.started.size(), 2u);
    EXPECT_EQ(system_.started[system_.started.size() - 2], (Argv{"web", "http://h/2"}));
    EXPECT_EQ(system_.started.back(), (Argv{"xdg-open", "http://h/2"}));
}

TEST_F(BrowserLookup, OptionLikeAndEmptyAddressesAreRefused)
{
    test::ScopedEnv browser("BROWSER", "web");
    BrowserLauncher launcher = system_.Launcher();
    EXPECT_FALSE(launcher.Open("--remote-debugging-port=1", true));
    EXPECT_FALSE(launcher.Open("-new-tab", false));
    EXPECT_FALSE(launcher.Open("", true));
    EXPECT_FALSE(launcher.Open(std::string_view("http://a\0b", 10), true));
    EXPECT_TRUE(system_.started.empty());
}

TEST(ExecLine, ExecutableIsTheFirstWord)
{
    EXPECT_EQ(BrowserLauncher::ExecutableOfExecLine("firefox %u"), "firefox");
    EXPECT_EQ(BrowserLauncher::ExecutableOfExecLine("  \"/opt/a \\\"b\\\"/c\" --x"), "/opt/a \"b\"/c");
    EXPECT_EQ(BrowserLauncher::ExecutableOfExecLine("/usr/bin/my\\ browser"), "/usr/bin/my browser");
    EXPECT_EQ(BrowserLauncher::ExecutableOfExecLine("%U 100%%web"), "100%web");
    EXPECT_EQ(BrowserLauncher::ExecutableOfExecLine(" \t"), "");
    EXPECT_TRUE(BrowserLauncher::ExecLineTakesOnlyFieldCodes("web %u %U"));
    EXPECT_TRUE(BrowserLauncher::ExecLineTakesOnlyFieldCodes("\"/a b/web\""));
    EXPECT_FALSE(BrowserLauncher::ExecLineTakesOnlyFieldCodes("web --new %u"));
    EXPECT_FALSE(BrowserLauncher::ExecLineTakesOnlyFieldCodes("web \"%u\""));
    EXPECT_FALSE(BrowserLauncher::ExecLineTakesOnlyFieldCodes(""));
}

} // namespace
} // namespace tallyhawk
