#include "support/cli_process.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

namespace tallyhawk
{
namespace
{

using namespace std::chrono_literals;
using test::HttpResponse;
using test::ReadFileBytes;
using test::TempDir;
using test::TestHttpServer;
using test::WriteFileBytes;

using CliRun = test::ProgramRun;

CliRun RunCli(const std::vector<std::string>& args,
              const std::filesystem::path& folder,
              const std::function<void(pid_t)>& whileRunning = {})
{
    return test::RunProgram(TALLYHAWK_CLI_PATH, args, folder, whileRunning);
}

class FetchCommandsTest : public ::testing::Test
{
protected:
    TestHttpServer server;
    TempDir dir;
};

TEST_F(FetchCommandsTest, DownloadSavesTheFileRelativeToTheCurrentFolder)
{
    server.Respond("/webspider.xml", HttpResponse::Make(200, "<agents>\r\n</agents>\r\n"));
    // The site's address comes from the settings; the data folder has no say in where OUTFILE goes.
    TempDir config;
    std::filesystem::create_directories(config.path() / "Quillmarch");
    WriteFileBytes(config.File("Quillmarch/Tallyhawk.conf"), "[General]\nSiteUrl=" + server.Url("") + "\n");
    test::ScopedEnv configHome("XDG_CONFIG_HOME", config.path().string());

    CliRun run
        = RunCli({"download", "/webspider.xml", "webspider.dat", "--data-dir", dir.File("data")}, dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "ok\n");
    EXPECT_EQ(ReadFileBytes(dir.File("webspider.dat")), "<agents>\n</agents>\n");
    ASSERT_EQ(server.RequestCount(), 1U);
    EXPECT_EQ(server.Requests()[0].requestLine, "GET /webspider.xml HTTP/1.1");

    run = RunCli({"download", "--url", server.Url("/webspider.xml"), "--json", "copy.dat"}, dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\"status\": \"ok\""), std::string::npos) << run.out;
    EXPECT_EQ(ReadFileBytes(dir.File("copy.dat")), "<agents>\n</agents>\n");
}

TEST_F(FetchCommandsTest, DownloadNamesTheFailure)
{
    server.Respond("/moved", HttpResponse::Redirect(302, "/elsewhere"));
    CliRun run = RunCli({"download", "--url", server.Url("/moved"), "out.dat"}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "FETCH_REDIRECTED\n");
    EXPECT_NE(run.err.find("FETCH_REDIRECTED"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.dat")));

    EXPECT_EQ(RunCli({"download", "only-one"}, dir.path()).exitCode, 2);
    EXPECT_EQ(RunCli({"download", "--url", server.Url("/moved"), "a", "b"}, dir.path()).exitCode, 2);
}

TEST_F(FetchCommandsTest, FetchPagePrintsOrSavesTheBody)
{
    server.Respond("/page", HttpResponse::Make(200, "<html>\r\nresults</html>"));
    server.Respond("/missing", HttpResponse::Make(404, "gone"));
    CliRun run = RunCli({"fetch-page", server.Url("/page")}, dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "<html>\r\nresults</html>");

    run = RunCli({"fetch-page", server.Url("/page"), "--out", "page.html"}, dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadFileBytes(dir.File("page.html")), "<html>\r\nresults</html>");

    run = RunCli({"fetch-page", server.Url("/missing")}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("FETCH_BAD_STATUS"), std::string::npos) << run.err;
}

TEST_F(FetchCommandsTest, InterruptCancelsADownloadCleanly)
{
    server.Respond("/stalled", HttpResponse::Stall());
    WriteFileBytes(dir.File("keep.dat"), "old contents");
    auto start = std::chrono::steady_clock::now();
    CliRun run
        = RunCli({"download", "--url", server.Url("/stalled"), "keep.dat"}, dir.path(), [&](pid_t pid) {
              // Interrupt once the request is on its way.
              for (int i = 0; i < 500 && server.RequestCount() == 0; ++i) {
                  std::this_thread::sleep_for(10ms);
              }
              ::kill(pid, SIGINT);
          });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "FETCH_CANCELLED\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(ReadFileBytes(dir.File("keep.dat")), "old contents");
}

} // namespace
} // namespace tallyhawk
