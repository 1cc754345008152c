#include "support/cli_process.h"
#include "support/plain_text_listener.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "support/tls_test_server.h"
#include "support/trickling_http_server.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <nlohmann/json.hpp>
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
    server.Respond("/missing", HttpResponse::Make(404, "<html>Not here</html>"));
    CliRun run = RunCli({"download", "--url", server.Url("/moved"), "out.dat"}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("failed: the server answered 302 Found (a redirect, which downloads do not "
                           "follow); check the site address.\n"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.dat")));

    // An error page is a failure, and no internal name reaches the person.
    run = RunCli({"download", "--url", server.Url("/missing"), "out.dat"}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "tallyhawk-cli: The download of " + server.Url("/missing")
                  + " failed: the server answered 404 Not Found.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.dat")));
    // The machine-readable form keeps the status name beside the words.
    run = RunCli({"download", "--url", server.Url("/missing"), "--json", "out.dat"}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    nlohmann::json json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["status"], "FETCH_BAD_STATUS");
    EXPECT_EQ(json["code"], 0x10000001);
    EXPECT_EQ(json["message"], "the server answered 404 Not Found");

    run = RunCli({"download", "--url", "ftp://127.0.0.1/file", "out.dat"}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("failed: the address is not an http or https URL; check it."), std::string::npos)
        << run.err;

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
    EXPECT_EQ(run.err,
              "tallyhawk-cli: Fetching " + server.Url("/missing")
                  + " failed: the server answered 404 Not Found.\n");
}

// A clipboard write and a screen clear, as a hostile page may hold them.
constexpr char kHostilePage[] = "<p>\x1B]52;c;aGk=\x07\x1B[2J\tprice</p>\r\nnext\n";

TEST_F(FetchCommandsTest, FetchPageShowsControlsAsEscapesOnATerminal)
{
    server.Respond("/page", HttpResponse::Make(200, kHostilePage));
    CliRun run
        = test::RunProgramOnTerminal(TALLYHAWK_CLI_PATH, {"fetch-page", server.Url("/page")}, dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "<p>\\x1B]52;c;aGk=\\x07\\x1B[2J\tprice</p>\nnext\n");
}

TEST_F(FetchCommandsTest, FetchPageKeepsTheBytesIntoAPipeOrAFile)
{
    server.Respond("/page", HttpResponse::Make(200, kHostilePage));
    CliRun run = RunCli({"fetch-page", server.Url("/page")}, dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, kHostilePage);
    run = test::RunProgramOnTerminal(
        TALLYHAWK_CLI_PATH, {"fetch-page", server.Url("/page"), "--out", "page.html"}, dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(dir.File("page.html")), kHostilePage);
}

TEST_F(FetchCommandsTest, FetchPageNamesRedirectAndHeaderFailures)
{
    server.Respond("/loop", HttpResponse::Redirect(301, "/loop"));
    server.Respond("/page", HttpResponse::Make(200, "landed"));
    server.Respond("/lower", HttpResponse::Make(302, "", {"location: /page"}));
    server.Respond("/huge-header",
                   HttpResponse::Raw("HTTP/1.1 200 OK\r\nX-Big: " + std::string(1 << 20, 'b') + "\r\n\r\n"));

    CliRun run = RunCli({"fetch-page", server.Url("/loop")}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("failed: more than 20 redirects."), std::string::npos) << run.err;

    run = RunCli({"fetch-page", server.Url("/lower")}, dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "landed");

    run = RunCli({"fetch-page", server.Url("/huge-header")}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("failed: the response headers are too large"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("FETCH_"), std::string::npos) << run.err;
}

TEST_F(FetchCommandsTest, TimeLimitEndsATricklingFetchOrDownload)
{
    // A byte every 20 ms: never quiet for long, but over a minute for the whole page.
    test::TricklingHttpServer trickling(20ms, 4000);
    WriteFileBytes(dir.File("keep.dat"), "old contents");
    auto start = std::chrono::steady_clock::now();
    CliRun run = RunCli({"fetch-page", trickling.PageUrl(), "--time-limit", "1"}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("failed: it took longer than its time limit as a whole"), std::string::npos)
        << run.err;
    run = RunCli({"download", "--url", trickling.RedirectUrl(), "--time-limit", "1", "keep.dat"}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("time limit"), std::string::npos) << run.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, trickling.FullPageTime() / 4);
    EXPECT_EQ(ReadFileBytes(dir.File("keep.dat")), "old contents");

    for (const char* bad : {"0", "-1", "soon", "86401"}) {
        EXPECT_EQ(RunCli({"fetch-page", trickling.PageUrl(), "--time-limit", bad}, dir.path()).exitCode, 2)
            << bad;
    }
    EXPECT_EQ(trickling.RequestCount(), 2U);
}

TEST_F(FetchCommandsTest, HttpsSiteAddressIsUsedNotRefused)
{
    // A plain TCP listener where TLS is expected: the download gets as far as the handshake.
    test::PlainTextListener plain;
    TempDir config;
    test::ScopedEnv configHome("XDG_CONFIG_HOME", config.path().string());
    const std::string site = "HTTPS://127.0.0.1:" + std::to_string(plain.port());
    ASSERT_EQ(RunCli({"config", "set", "SiteUrl", site}, dir.path()).exitCode, 0);
    EXPECT_EQ(RunCli({"config", "set", "SiteUrl", "ftp://127.0.0.1/"}, dir.path()).exitCode, 2);

    CliRun run
        = RunCli({"download", "/webspider.xml", "webspider.dat", "--data-dir", dir.File("data")}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("failed: no secure connection could be set up"), std::string::npos) << run.err;
    EXPECT_EQ(plain.connectionsAccepted(), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.File("webspider.dat")));

    // From an http page, a redirect to the https address is followed.
    server.Respond("/to-secure", HttpResponse::Redirect(302, site + "/page"));
    run = RunCli({"fetch-page", server.Url("/to-secure")}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("no secure connection"), std::string::npos) << run.err;
    EXPECT_EQ(plain.connectionsAccepted(), 2);

    // A site whose certificate the system does not trust.
    test::TlsTestServer tls;
    run = RunCli({"download", "--url", tls.Url("/webspider.xml"), "webspider.dat"}, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("failed: the site's certificate could not be verified against the system's "
                           "certificates; check the address and the system clock."),
              std::string::npos)
        << run.err;
    EXPECT_EQ(tls.handshakesCompleted(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("webspider.dat")));
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
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("failed: it was cancelled."), std::string::npos) << run.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(ReadFileBytes(dir.File("keep.dat")), "old contents");
}

} // namespace
} // namespace tallyhawk
