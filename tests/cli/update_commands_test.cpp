#include "core/common/program_version.h"
#include "support/cli_process.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

namespace tallyhawk
{
namespace
{

using test::ProgramRun;
using test::ReadFileBytes;
using test::ServerProcess;
using test::TempDir;
using test::WriteFileBytes;

constexpr long long kStart = 1780000000;
constexpr long long kDay = 86400;
// The demo's first items: 4 coupons, 8 deals and 3 forum topics.
constexpr const char* kDemoSeed[] = {"--demo", "--every", "3600"};

int Count(const std::string& text, const std::string& part)
{
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

bool Holds(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A data folder and a settings file of its own, the CLI's clock pinned, and a local service.
class UpdateCommandsTest : public ::testing::Test
{
protected:
    void Serve(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--db", dir.File("service.db")});
        server = std::make_unique<ServerProcess>(TALLYHAWK_SERVER_PATH, args, dir.path());
        ASSERT_TRUE(server->started()) << server->output();
        Configure(server->dealPort(), server->siteUrl(), "");
    }
    void ServeDemo(std::vector<std::string> more = {})
    {
        std::vector<std::string> args(std::begin(kDemoSeed), std::end(kDemoSeed));
        args.insert(args.end(), more.begin(), more.end());
        Serve(args);
    }
    // Points the settings file at the service, keeping its other lines.
    void Configure(int dealPort, const std::string& siteUrl, const std::string& more)
    {
        std::filesystem::create_directories(dir.path() / "config" / "Quillmarch");
        std::string kept;
        if (std::filesystem::exists(settingsPath)) {
            std::istringstream lines(ReadFileBytes(settingsPath));
            std::string line;
            while (std::getline(lines, line)) {
                if (line != "[General]" && line.rfind("Server", 0) != 0 && line.rfind("SiteUrl", 0) != 0) {
                    kept += line + "\n";
                }
            }
        }
        WriteFileBytes(settingsPath,
                       "[General]\nServerAddress=127.0.0.1\nServerPort=" + std::to_string(dealPort)
                           + "\nSiteUrl=" + siteUrl + "\n" + kept + more);
    }
    void AddSettings(const std::string& lines)
    {
        WriteFileBytes(settingsPath, ReadFileBytes(settingsPath) + lines);
    }
    ProgramRun Cli(std::vector<std::string> args,
                   long long now = kStart,
                   const std::function<void(pid_t)>& whileRunning = {},
                   const std::string& data = "data")
    {
        test::ScopedEnv clock("TALLYHAWK_NOW", std::to_string(now));
        args.insert(args.end(), {"--data-dir", dir.File(data)});
        return test::RunProgram(TALLYHAWK_CLI_PATH, args, dir.path(), whileRunning);
    }
    std::string Data(const std::string& name) const { return dir.File("data/" + name); }
    void Post(const std::vector<std::string>& args)
    {
        std::vector<std::string> all = {"post", "--db", dir.File("service.db")};
        all.insert(all.end(), args.begin(), args.end());
        ProgramRun run = test::RunProgram(TALLYHAWK_SERVER_PATH, all, dir.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }

    TempDir dir;
    std::string settingsPath = dir.File("config/Quillmarch/Tallyhawk.conf");
    test::ScopedEnv configHome{"XDG_CONFIG_HOME", dir.File("config")};
    std::unique_ptr<ServerProcess> server;
};

TEST_F(UpdateCommandsTest, FirstStartRefreshesTheListsAndPostsOneSummary)
{
    ServeDemo();
    ProgramRun run = Cli({"update", "--no"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(
        Holds(run.out, "Title: Tallyhawk - Connecting [127.0.0.1]\nTitle: Tallyhawk - Online [127.0.0.1]\n"))
        << run.out;
    EXPECT_TRUE(Holds(run.out, "Agent configuration: webspider.xml replaced (3 agents, 3 categories)."))
        << run.out;
    EXPECT_TRUE(Holds(run.out, "Stores: 7 entries added; store.lst saved.")) << run.out;
    EXPECT_TRUE(Holds(run.out, "Categories: 7 entries added; category.lst saved.")) << run.out;
    EXPECT_FALSE(Holds(run.out, "Weekly upkeep")) << run.out;
    EXPECT_EQ(Count(run.out, "alert: "), 1) << run.out;
    EXPECT_TRUE(Holds(run.out, "Tallyhawk has downloaded 12 new coupons and deals.")) << run.out;
    EXPECT_TRUE(Holds(run.out, "12 new coupons and deals (4 coupons, 8 deals), 3 new forum topics."))
        << run.out;
    const std::string settings = ReadFileBytes(settingsPath);
    EXPECT_TRUE(Holds(settings, "LastArchive=" + std::to_string(kStart))) << settings;
    EXPECT_TRUE(Holds(settings, "ListsRefreshPending=0")) << settings;
    EXPECT_TRUE(std::filesystem::exists(Data("webspider.xml")));

    // The downloaded agents search the service's own demo shops.
    run = Cli({"agents", "url", "2", "dome tent"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, server->siteUrl() + "/shop/harbor/search?q=dome+tent\n");
    run = Cli({"fetch-page", run.out.substr(0, run.out.size() - 1)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Holds(run.out, "<span class=\"name\">Two-person dome tent</span>")) << run.out;
    EXPECT_TRUE(Holds(run.out, "$119.99")) << run.out;

    // Nothing new: no summary, and the lists are not asked for again within the week.
    run = Cli({"update"}, kStart + 60);
    EXPECT_EQ(Count(run.out, "alert: "), 0) << run.out;
    EXPECT_FALSE(Holds(run.out, "Stores:")) << run.out;
    EXPECT_TRUE(Holds(run.out, "0 new coupons and deals (0 coupons, 0 deals), 0 new forum topics."))
        << run.out;
}

TEST_F(UpdateCommandsTest, AStartEightDaysLaterArchivesWithoutDownloadingOldItemsAgain)
{
    ServeDemo();
    ASSERT_EQ(Cli({"update"}).exitCode, 0);
    const auto before = std::filesystem::file_size(Data("deal.lst"));

    ProgramRun run = Cli({"update"}, kStart + 8 * kDay);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Holds(run.out, "Weekly upkeep: the item stores and shopping files were archived."))
        << run.out;
    EXPECT_TRUE(Holds(run.out, "Stores: 0 entries added; store.lst saved.")) << run.out;
    // The items kept arrived eight days ago (the archive keeps undated ones for 90 days) or expired; no
    // id goes back, so nothing already seen comes again.
    EXPECT_TRUE(Holds(run.out, "0 new coupons and deals (0 coupons, 0 deals), 0 new forum topics."))
        << run.out;
    EXPECT_LE(std::filesystem::file_size(Data("deal.lst")), before);
    EXPECT_TRUE(Holds(ReadFileBytes(settingsPath), "LastArchive=" + std::to_string(kStart + 8 * kDay)));
}

// Both programs print the one version, and the service announces by default the version that the
// update check takes as current: no prompt.
TEST_F(UpdateCommandsTest, BothProgramsShareOneVersionAndTheServiceAnnouncesIt)
{
    const std::string release(kReleaseVersion);
    ProgramRun run = test::RunProgram(TALLYHAWK_SERVER_PATH, {"--version"}, dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "tallyhawk-server " + release + "\n");
    run = Cli({"--version"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "tallyhawk-cli " + release + "\n");

    ServeDemo();
    run = Cli({"server-version"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, std::string(kProgramVersion) + "\n");
    run = Cli({"update"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(Holds(run.out, "New Tallyhawk version")) << run.out;
}

TEST_F(UpdateCommandsTest, NewVersionAnsweredNoDownloadsAsUsual)
{
    ServeDemo({"--version", "33"});
    ProgramRun run = Cli({"update", "--no"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Holds(run.out,
                      "New Tallyhawk version: There is a new version of Tallyhawk available for download.\n"
                      "Would you like to download and install the new version? [y/N] No\n"))
        << run.out;
    EXPECT_FALSE(Holds(run.out, "You must close")) << run.out;
    EXPECT_TRUE(Holds(run.out, "12 new coupons and deals")) << run.out;
}

TEST_F(UpdateCommandsTest, NewVersionAnsweredYesTwiceEndsWithoutDownloading)
{
    ServeDemo({"--version", "4"});
    ProgramRun run = Cli({"update", "--yes"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Holds(run.out, "Would you like to exit Tallyhawk now? [y/N] Yes\n")) << run.out;
    EXPECT_TRUE(Holds(run.out, "Download page: " + server->siteUrl() + "/download.aspx\n")) << run.out;
    EXPECT_TRUE(Holds(run.out, "Tallyhawk exits for the new version.\n")) << run.out;
    EXPECT_FALSE(Holds(run.out, "new coupons and deals")) << run.out;
    EXPECT_FALSE(std::filesystem::exists(Data("deal.lst")));

    // Without --yes or --no and with no terminal, the answer is No.
    run = Cli({"update"});
    EXPECT_TRUE(Holds(run.out, "[y/N] No\n")) << run.out;
    EXPECT_TRUE(Holds(run.out, "12 new coupons and deals")) << run.out;
}

TEST_F(UpdateCommandsTest, TheDealsKeywordListAppliesOnlyWhenSwitchedOn)
{
    ServeDemo();
    AddSettings("UseDealsFilter=0\nDealsFilter=dome tent\n");
    ProgramRun off = Cli({"update"}, kStart, {}, "off");
    EXPECT_TRUE(Holds(off.out, "12 new coupons and deals")) << off.out;

    std::string settings = ReadFileBytes(settingsPath);
    settings.replace(settings.find("UseDealsFilter=0"), 16, "UseDealsFilter=1");
    WriteFileBytes(settingsPath, settings);
    ProgramRun on = Cli({"update"}, kStart, {}, "on");
    EXPECT_TRUE(Holds(on.out, "1 new coupons and deals (0 coupons, 1 deals), 3 new forum topics.")) << on.out;
}

TEST_F(UpdateCommandsTest, AHiddenStartAlertsEachItemAndPostsNoSummary)
{
    ServeDemo();
    ProgramRun run = Cli({"update", "--hidden"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Count(run.out, "alert: "), 15) << run.out;
    EXPECT_FALSE(Holds(run.out, "Tallyhawk Auto Update")) << run.out;

    // With alerts off, no popup at all.
    Post({"--kind", "deal", "--title", "Kettle", "--store", "Bluebird Kitchenware", "--category", "Kitchen"});
    AddSettings("ShowNotify=0\n");
    run = Cli({"update", "--hidden"}, kStart + 60);
    EXPECT_EQ(Count(run.out, "alert: "), 0) << run.out;
    EXPECT_TRUE(Holds(run.out, "1 new coupons and deals (0 coupons, 1 deals)")) << run.out;
}

TEST_F(UpdateCommandsTest, ForumTopicsAloneGiveNoSummary)
{
    Serve({});
    Post({"--kind",
          "topic",
          "--title",
          "Favourite rake?",
          "--store",
          "Harbor Outfitters",
          "--category",
          "Outdoor"});
    Post({"--kind",
          "topic",
          "--title",
          "Seed swap",
          "--store",
          "Greenleaf Market",
          "--category",
          "Groceries"});
    ProgramRun run = Cli({"update"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Holds(run.out, "0 new coupons and deals (0 coupons, 0 deals), 2 new forum topics."))
        << run.out;
    EXPECT_EQ(Count(run.out, "alert: "), 0) << run.out;
}

TEST_F(UpdateCommandsTest, AnUnreachableServiceChangesNothingAndTheListsStayOwed)
{
    Configure(1, "http://127.0.0.1:1", "");
    ProgramRun run = Cli({"update"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Holds(run.out, "No version reply from the deal server.")) << run.out;
    EXPECT_TRUE(Holds(run.out, "0 new coupons and deals (0 coupons, 0 deals), 0 new forum topics."))
        << run.out;
    EXPECT_FALSE(std::filesystem::exists(Data("deal.lst")));
    EXPECT_FALSE(std::filesystem::exists(Data("store.lst")));
    EXPECT_TRUE(Holds(ReadFileBytes(settingsPath), "ListsRefreshPending=1"));

    // The service comes back the next day: the owed refresh runs without an archive.
    ServeDemo();
    run = Cli({"update"}, kStart + kDay);
    EXPECT_TRUE(Holds(run.out, "Stores: 7 entries added")) << run.out;
    EXPECT_FALSE(Holds(run.out, "Weekly upkeep")) << run.out;
    EXPECT_TRUE(Holds(ReadFileBytes(settingsPath), "LastArchive=" + std::to_string(kStart)));
}

TEST_F(UpdateCommandsTest, WatchPrintsAlertsAsTheyArriveAndStopsOnCtrlC)
{
    ServeDemo({"--every", "1"});
    std::chrono::steady_clock::duration stopping{};
    ProgramRun run = Cli({"watch", "--interval", "1", "--hidden"}, kStart, [&](pid_t pid) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3500));
        const auto sent = std::chrono::steady_clock::now();
        ::kill(pid, SIGINT);
        // Waits for the end without reaping, which RunProgram does.
        siginfo_t info{};
        ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
        stopping = std::chrono::steady_clock::now() - sent;
    });
    EXPECT_LT(stopping, std::chrono::seconds(1));
    EXPECT_TRUE(Holds(run.out, "Stopped.\n")) << run.out;
    // The seed, then at least one item the demo posted after the start.
    EXPECT_GT(Count(run.out, "alert: "), 15) << run.out;
}

TEST_F(UpdateCommandsTest, TheServerEndsCleanlyOnSigterm)
{
    ServeDemo();
    EXPECT_EQ(server->Stop(), 0);
}

} // namespace
} // namespace tallyhawk
