#include "core/net/http_fetcher.h"
#include "support/plain_text_listener.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "support/tls_test_server.h"
#include "support/trickling_http_server.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace tallyhawk
{
namespace
{

using namespace std::chrono_literals;
using test::HttpResponse;
using test::ReadFileBytes;
using test::TestHttpServer;
using test::WriteFileBytes;
using Clock = std::chrono::steady_clock;

const std::string kBrowserAgent
    = "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)";

// Generous enough for a loaded machine, short enough that a hang fails the test quickly.
const HttpFetcher::Timeouts kTestTimeouts{5000ms, 5000ms};

std::string HostLine(const TestHttpServer& server)
{
    return "Host: 127.0.0.1:" + std::to_string(server.port());
}

std::vector<std::string> FileHeaders(const TestHttpServer& server)
{
    return {HostLine(server), "Accept: text/*", "User-Agent: Quillmarch"};
}

std::vector<std::string> PageHeaders(const TestHttpServer& server)
{
    return {HostLine(server), "Accept: text/html", kBrowserAgent};
}

// Asks for a stop after a delay, from another thread.
class DelayedStop
{
public:
    DelayedStop(std::stop_source& source, std::chrono::milliseconds delay)
        : thread_([&source, delay] {
            std::this_thread::sleep_for(delay);
            source.request_stop();
        })
    { }
    ~DelayedStop() { thread_.join(); }

private:
    std::thread thread_;
};

class HttpFetcherTest : public ::testing::Test
{
protected:
    std::int32_t Download(const std::string& target, const std::string& file, std::stop_token stop = {})
    {
        return fetcher.DownloadToFile(server.Url(target), file, nullptr, stop);
    }

    std::optional<std::string> Fetch(const std::string& url, std::int32_t& status, std::stop_token stop = {})
    {
        status = 12345;
        return fetcher.FetchPage(url, nullptr, stop, &status);
    }

    TestHttpServer server;
    test::TempDir dir;
    HttpFetcher fetcher{kTestTimeouts};
};

TEST_F(HttpFetcherTest, DownloadSendsTheServiceHeadersAndSavesTheBody)
{
    server.Respond("/stores.aspx?idx=5&user=Tallyhawk", HttpResponse::Make(200, "<stores>\r\n</stores>\r\n"));
    std::string file = dir.File("update.dat");
    ASSERT_EQ(Download("/stores.aspx?idx=5&user=Tallyhawk", file), FETCH_OK);
    EXPECT_EQ(ReadFileBytes(file), "<stores>\n</stores>\n");
    std::vector<test::HttpRequestRecord> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].requestLine, "GET /stores.aspx?idx=5&user=Tallyhawk HTTP/1.1");
    EXPECT_EQ(requests[0].headerLines, FileHeaders(server));
}

TEST_F(HttpFetcherTest, DownloadSavesAnswersBelow400ButRedirectsAndRefusals)
{
    server.Respond("/missing", HttpResponse::Make(404, "<html>Not here</html>"));
    server.Respond("/broken", HttpResponse::Make(500, "oops\r\n"));
    server.Respond("/partial", HttpResponse::Make(203, "copy\r\n"));
    // An error page never takes the place of the file it stands for.
    WriteFileBytes(dir.File("b.dat"), "good old list");
    FetchReport report;
    EXPECT_EQ(fetcher.DownloadToFile(server.Url("/missing"), dir.File("a.dat"), nullptr, {}, report),
              FETCH_BAD_STATUS);
    EXPECT_EQ(report.status, FETCH_BAD_STATUS);
    EXPECT_EQ(report.httpStatus, 404);
    EXPECT_EQ(FetchFailureText(report), "the server answered 404 Not Found");
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.dat")));
    EXPECT_EQ(Download("/broken", dir.File("b.dat")), FETCH_BAD_STATUS);
    EXPECT_EQ(ReadFileBytes(dir.File("b.dat")), "good old list");
    ASSERT_EQ(Download("/partial", dir.File("a.dat")), FETCH_OK);
    EXPECT_EQ(ReadFileBytes(dir.File("a.dat")), "copy\n");

    server.Respond("/private", HttpResponse::Make(401, "no"));
    EXPECT_EQ(Download("/private", dir.File("c.dat")), FETCH_UNAUTHORIZED);
    for (int status : {301, 302, 303}) {
        server.Respond("/moved", HttpResponse::Redirect(status, server.Url("/missing")));
        EXPECT_EQ(Download("/moved", dir.File("c.dat")), FETCH_REDIRECTED) << status;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("c.dat")));
    // Not followed: the redirect target was never asked for.
    EXPECT_EQ(server.RequestCount(), 7U);

    // A failure leaves an existing file as it was.
    WriteFileBytes(dir.File("keep.dat"), "old contents");
    EXPECT_EQ(Download("/moved", dir.File("keep.dat")), FETCH_REDIRECTED);
    EXPECT_EQ(Download("/private", dir.File("keep.dat")), FETCH_UNAUTHORIZED);
    EXPECT_EQ(ReadFileBytes(dir.File("keep.dat")), "old contents");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

TEST_F(HttpFetcherTest, DownloadReplacesAnExistingFileOrReportsAFileError)
{
    server.Respond("/webspider.xml", HttpResponse::Make(200, "<agents/>"));
    WriteFileBytes(dir.File("webspider.dat"), "a much longer old file that must not leave a tail");
    ASSERT_EQ(Download("/webspider.xml", dir.File("webspider.dat")), FETCH_OK);
    EXPECT_EQ(ReadFileBytes(dir.File("webspider.dat")), "<agents/>");

    EXPECT_EQ(Download("/webspider.xml", dir.File("no-such-folder/webspider.dat")), FETCH_FILE_ERROR);
    EXPECT_EQ(Download("/webspider.xml", dir.path().string()), FETCH_FILE_ERROR);
}

TEST_F(HttpFetcherTest, DownloadCutsTextLinesAtTheLimit)
{
    server.Respond("/exact", HttpResponse::Make(200, std::string(320000, 'a')));
    server.Respond("/under", HttpResponse::Make(200, std::string(319999, 'a')));
    std::string lines;
    for (int i = 0; i < 3300; ++i) {
        lines += std::string(99, 'x') + "\r\n";
    }
    server.Respond("/lines", HttpResponse::Make(200, lines));
    server.Respond("/huge", HttpResponse::Make(200, std::string(4000000, 'h')));

    ASSERT_EQ(Download("/exact", dir.File("exact")), FETCH_OK);
    EXPECT_EQ(ReadFileBytes(dir.File("exact")).size(), 319176U);
    ASSERT_EQ(Download("/under", dir.File("under")), FETCH_OK);
    EXPECT_EQ(ReadFileBytes(dir.File("under")).size(), 319999U);
    // CRLF lines are saved with line feeds; the 3200th line reaches the limit and is dropped.
    ASSERT_EQ(Download("/lines", dir.File("lines")), FETCH_OK);
    std::string saved = ReadFileBytes(dir.File("lines"));
    EXPECT_EQ(saved.size(), 319900U);
    EXPECT_EQ(saved.find('\r'), std::string::npos);
    ASSERT_EQ(Download("/huge", dir.File("huge")), FETCH_OK);
    EXPECT_EQ(ReadFileBytes(dir.File("huge")).size(), 319176U);
}

TEST_F(HttpFetcherTest, DownloadLosesTheRestOfAPieceAfterAZeroByte)
{
    server.Respond("/zero", HttpResponse::Make(200, std::string("ab\0cd\r\nef\r\n", 11)));
    ASSERT_EQ(Download("/zero", dir.File("zero")), FETCH_OK);
    EXPECT_EQ(ReadFileBytes(dir.File("zero")), "abef\n");
}

TEST_F(HttpFetcherTest, FetchPageSendsBrowserHeadersAlsoAfterRedirectsAcrossPorts)
{
    TestHttpServer other;
    other.Respond("/results?q=tv", HttpResponse::Make(200, "<html>\r\nresults</html>"));
    server.Respond("/search?q=tv", HttpResponse::Redirect(302, other.Url("/results?q=tv")));
    std::int32_t status = 0;
    std::optional<std::string> page = Fetch(server.Url("/search?q=tv"), status);
    ASSERT_TRUE(page);
    EXPECT_EQ(status, FETCH_OK);
    EXPECT_EQ(*page, "<html>\r\nresults</html>");
    ASSERT_EQ(server.RequestCount(), 1U);
    EXPECT_EQ(server.Requests()[0].requestLine, "GET /search?q=tv HTTP/1.1");
    EXPECT_EQ(server.Requests()[0].headerLines, PageHeaders(server));
    ASSERT_EQ(other.RequestCount(), 1U);
    EXPECT_EQ(other.Requests()[0].requestLine, "GET /results?q=tv HTTP/1.1");
    EXPECT_EQ(other.Requests()[0].headerLines, PageHeaders(other));
}

TEST_F(HttpFetcherTest, FetchPageFollowsEachRedirectKind)
{
    server.Respond("/page", HttpResponse::Make(200, "landed"));
    server.Respond("/relative", HttpResponse::Redirect(302, "page"));
    server.Respond(
        "/interim",
        HttpResponse::Raw("HTTP/1.1 100 Continue\r\n\r\n"
                          "HTTP/1.1 303 See Other\r\nLocation: /page\r\nContent-Length: 0\r\n\r\n"));
    for (int kind : {301, 302, 303}) {
        server.Respond("/start", HttpResponse::Redirect(kind, server.Url("/page")));
        std::int32_t status = 0;
        EXPECT_EQ(Fetch(server.Url("/start"), status), "landed") << kind;
    }
    std::int32_t status = 0;
    EXPECT_EQ(Fetch(server.Url("/relative"), status), "landed");
    EXPECT_EQ(Fetch(server.Url("/interim"), status), "landed");
    // Header names have no case.
    server.Respond("/lower", HttpResponse::Make(301, "", {"location: /page"}));
    server.Respond("/upper", HttpResponse::Make(302, "", {"LOCATION:/page"}));
    EXPECT_EQ(Fetch(server.Url("/lower"), status), "landed");
    EXPECT_EQ(Fetch(server.Url("/upper"), status), "landed");
}

TEST_F(HttpFetcherTest, FetchPageFailsOnRedirectsItCannotFollow)
{
    struct Case
    {
        const char* name;
        HttpResponse response;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"no location", HttpResponse::Make(302, "", {"Content-Location: /page"}), FETCH_REDIRECTED},
        {"ftp target", HttpResponse::Redirect(303, "ftp://127.0.0.1/page"), FETCH_BAD_STATUS},
        {"file target", HttpResponse::Redirect(302, "FILE:///etc/passwd"), FETCH_BAD_STATUS},
        {"garbage target", HttpResponse::Redirect(302, "http://"), FETCH_NOT_HTTP},
        {"empty target", HttpResponse::Redirect(302, ""), FETCH_NOT_HTTP},
        {"307", HttpResponse::Redirect(307, "/page"), FETCH_BAD_STATUS},
    };
    server.Respond("/page", HttpResponse::Make(200, "landed"));
    for (const Case& c : cases) {
        server.Respond("/start", c.response);
        std::int32_t status = 0;
        EXPECT_FALSE(Fetch(server.Url("/start"), status)) << c.name;
        EXPECT_EQ(status, c.expected) << c.name;
    }
}

TEST_F(HttpFetcherTest, FetchPageTellsAFirstRefusalFromOtherStatuses)
{
    server.Respond("/private", HttpResponse::Make(401, "no"));
    server.Respond("/missing", HttpResponse::Make(404, "<html>Not here</html>"));
    server.Respond("/to-private", HttpResponse::Redirect(302, "/private"));
    server.Respond("/to-missing", HttpResponse::Redirect(302, "/missing"));
    std::int32_t status = 0;
    EXPECT_FALSE(Fetch(server.Url("/private"), status));
    EXPECT_EQ(status, FETCH_UNAUTHORIZED);
    EXPECT_FALSE(Fetch(server.Url("/to-private"), status));
    EXPECT_EQ(status, FETCH_BAD_STATUS);
    EXPECT_FALSE(Fetch(server.Url("/missing"), status));
    EXPECT_EQ(status, FETCH_BAD_STATUS);
    EXPECT_FALSE(Fetch(server.Url("/to-missing"), status));
    EXPECT_EQ(status, FETCH_BAD_STATUS);
}

TEST_F(HttpFetcherTest, FetchPageFollowsTwentyRedirectsAndNoMore)
{
    // /hop/N redirects to /hop/N+1 until /hop/<end>, which answers.
    auto chain = [this](int end) {
        for (int i = 0; i < end; ++i) {
            server.Respond("/hop/" + std::to_string(i),
                           HttpResponse::Redirect(302, "/hop/" + std::to_string(i + 1)));
        }
        server.Respond("/hop/" + std::to_string(end), HttpResponse::Make(200, "end"));
    };
    chain(20);
    std::int32_t status = 0;
    EXPECT_EQ(Fetch(server.Url("/hop/0"), status), "end");
    EXPECT_EQ(server.RequestCount(), 21U);

    chain(21);
    EXPECT_FALSE(Fetch(server.Url("/hop/0"), status));
    EXPECT_EQ(status, FETCH_BAD_STATUS);
    EXPECT_EQ(server.RequestCount(), 21U + 21U);

    server.Respond("/loop", HttpResponse::Redirect(301, "/loop"));
    FetchReport report;
    EXPECT_FALSE(fetcher.FetchPage(server.Url("/loop"), nullptr, {}, report));
    EXPECT_EQ(report.status, FETCH_BAD_STATUS);
    EXPECT_EQ(FetchFailureText(report), "more than 20 redirects");
    EXPECT_EQ(server.RequestCount(), 42U + 21U);
}

TEST_F(HttpFetcherTest, FetchPageCutsRawPiecesAtTheLimit)
{
    server.Respond("/under", HttpResponse::Make(200, std::string(319999, 'a')));
    server.Respond("/exact", HttpResponse::Make(200, std::string(320000, 'a')));
    server.Respond("/over", HttpResponse::Make(200, std::string(320001, 'a')));
    server.Respond("/huge", HttpResponse::Make(200, std::string(4000000, 'h')));
    std::int32_t status = 0;
    EXPECT_EQ(Fetch(server.Url("/under"), status).value_or("").size(), 319999U);
    EXPECT_EQ(Fetch(server.Url("/exact"), status).value_or("").size(), 319488U);
    EXPECT_EQ(Fetch(server.Url("/over"), status).value_or("").size(), 319488U);
    EXPECT_EQ(Fetch(server.Url("/huge"), status).value_or("").size(), 319488U);
    EXPECT_EQ(status, FETCH_OK);
}

TEST_F(HttpFetcherTest, FetchPageLosesTheRestOfAPieceAfterAZeroByte)
{
    std::string body = std::string("abc\0", 4) + std::string(1020, 'x') + "tail\r\n";
    server.Respond("/zero", HttpResponse::Make(200, body));
    std::int32_t status = 0;
    EXPECT_EQ(Fetch(server.Url("/zero"), status), "abctail\r\n");
}

TEST_F(HttpFetcherTest, ReadsChunkedAndCloseDelimitedBodies)
{
    server.Respond("/chunked",
                   HttpResponse::Raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                     "5\r\nhello\r\n7\r\n world\n\r\n0\r\nX-Trailer: 1\r\n\r\n"));
    server.Respond("/old",
                   HttpResponse::Raw("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nuntil close"));
    std::int32_t status = 0;
    EXPECT_EQ(Fetch(server.Url("/chunked"), status), "hello world\n");
    EXPECT_EQ(Fetch(server.Url("/old"), status), "until close");
    ASSERT_EQ(Download("/chunked", dir.File("chunked")), FETCH_OK);
    EXPECT_EQ(ReadFileBytes(dir.File("chunked")), "hello world\n");
}

TEST_F(HttpFetcherTest, RefusesAddressesThatAreNotHttpAtOnce)
{
    for (const std::string& url : {"ftp://127.0.0.1:" + std::to_string(server.port()) + "/file",
                                   std::string("file:///etc/passwd"),
                                   std::string("FILE:///etc/passwd"),
                                   "httpx://127.0.0.1:" + std::to_string(server.port()) + "/",
                                   std::string("garbage"),
                                   std::string("127.0.0.1/page"),
                                   std::string()}) {
        std::int32_t status = 0;
        EXPECT_FALSE(Fetch(url, status)) << url;
        EXPECT_EQ(status, FETCH_NOT_HTTP) << url;
        EXPECT_EQ(fetcher.DownloadToFile(url, dir.File("x"), nullptr, {}), FETCH_NOT_HTTP) << url;
    }
    EXPECT_EQ(server.RequestCount(), 0U);
    EXPECT_FALSE(std::filesystem::exists(dir.File("x")));
}

TEST_F(HttpFetcherTest, AStopRequestedBeforehandSendsNothing)
{
    std::stop_source stop;
    stop.request_stop();
    std::int32_t status = 0;
    EXPECT_EQ(Download("/", dir.File("x"), stop.get_token()), FETCH_CANCELLED);
    EXPECT_FALSE(Fetch(server.Url("/"), status, stop.get_token()));
    EXPECT_EQ(status, FETCH_CANCELLED);
    EXPECT_EQ(server.RequestCount(), 0U);
}

TEST_F(HttpFetcherTest, AStopInTheMiddleOfABodyEndsTheCallPromptly)
{
    // The server sends part of the body and then nothing: only a stop can end the call early.
    HttpResponse half = HttpResponse::Make(200, std::string(100000, 'b'));
    half.stallAfter = half.bytes.size() - 60000;
    server.Respond("/half", half);
    HttpFetcher patient({5000ms, 30000ms});
    WriteFileBytes(dir.File("keep.dat"), "old contents");

    std::stop_source stop;
    Clock::time_point start = Clock::now();
    {
        DelayedStop stopper(stop, 150ms);
        EXPECT_EQ(
            patient.DownloadToFile(server.Url("/half"), dir.File("keep.dat"), nullptr, stop.get_token()),
            FETCH_CANCELLED);
    }
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_EQ(ReadFileBytes(dir.File("keep.dat")), "old contents");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    stop = std::stop_source();
    start = Clock::now();
    std::int32_t status = 0;
    {
        DelayedStop stopper(stop, 150ms);
        EXPECT_FALSE(patient.FetchPage(server.Url("/half"), nullptr, stop.get_token(), &status));
    }
    EXPECT_EQ(status, FETCH_CANCELLED);
    EXPECT_LT(Clock::now() - start, 2s);
}

TEST_F(HttpFetcherTest, GivesUpOnAServerThatStalls)
{
    HttpFetcher impatient({5000ms, 200ms});
    server.Respond("/silent", HttpResponse::Stall());
    HttpResponse half = HttpResponse::Make(200, std::string(5000, 'b'));
    half.stallAfter = half.bytes.size() - 1000;
    server.Respond("/half", half);

    Clock::time_point start = Clock::now();
    EXPECT_EQ(impatient.DownloadToFile(server.Url("/silent"), dir.File("x"), nullptr, {}),
              CURLE_OPERATION_TIMEDOUT);
    std::int32_t status = 0;
    EXPECT_FALSE(impatient.FetchPage(server.Url("/half"), nullptr, {}, &status));
    EXPECT_EQ(status, CURLE_OPERATION_TIMEDOUT);
    EXPECT_LT(Clock::now() - start, 3s);
    EXPECT_FALSE(std::filesystem::exists(dir.File("x")));
}

TEST_F(HttpFetcherTest, KeepsASlowButMovingTransfer)
{
    // Bytes arrive every 40 ms for about a second: slower than the whole stall time, never stalled.
    HttpResponse slow = HttpResponse::Make(200, std::string(1000, 's'));
    slow.chunkBytes = 50;
    slow.chunkDelay = 40ms;
    server.Respond("/slow", slow);
    HttpFetcher impatient({5000ms, 300ms});
    std::int32_t status = 0;
    EXPECT_EQ(impatient.FetchPage(server.Url("/slow"), nullptr, {}, &status), std::string(1000, 's'));
}

TEST_F(HttpFetcherTest, ReportsTheClientsOwnErrors)
{
    // A bound socket that does not listen refuses connections.
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::string refused = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    EXPECT_EQ(fetcher.DownloadToFile(refused, dir.File("x"), nullptr, {}), CURLE_COULDNT_CONNECT);
    ::close(fd);

    // A body shorter than announced is a failure, not a shorter file.
    server.Respond("/short", HttpResponse::Raw("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly this"));
    WriteFileBytes(dir.File("keep.dat"), "old contents");
    EXPECT_EQ(Download("/short", dir.File("keep.dat")), CURLE_PARTIAL_FILE);
    EXPECT_EQ(ReadFileBytes(dir.File("keep.dat")), "old contents");

    // Headers without end are refused instead of held.
    std::string endless = "HTTP/1.1 302 Found\r\n";
    while (endless.size() < 400000) {
        endless += "X-Filler: " + std::string(1000, 'f') + "\r\n";
    }
    server.Respond("/endless", HttpResponse::Raw(endless + "\r\n"));
    // One header line over the client's own line limit is the same failure, not a lack of memory.
    server.Respond(
        "/long-line",
        HttpResponse::Raw("HTTP/1.1 200 OK\r\nX-Filler: " + std::string(1 << 20, 'f') + "\r\n\r\n"));
    for (const char* target : {"/endless", "/long-line"}) {
        FetchReport report;
        EXPECT_FALSE(fetcher.FetchPage(server.Url(target), nullptr, {}, report)) << target;
        EXPECT_EQ(report.status, FETCH_BAD_STATUS) << target;
        EXPECT_NE(FetchFailureText(report).find("headers are too large"), std::string::npos) << target;
        EXPECT_EQ(fetcher.DownloadToFile(server.Url(target), dir.File("x"), nullptr, {}, report),
                  FETCH_BAD_STATUS)
            << target;
        EXPECT_NE(FetchFailureText(report).find("headers are too large"), std::string::npos) << target;
    }
    std::int32_t status = 0;

    server.Respond("/garbage", HttpResponse::Raw("this is not HTTP at all\r\n\r\n"));
    EXPECT_FALSE(Fetch(server.Url("/garbage"), status));
    EXPECT_GT(status, 0);
    EXPECT_LT(status, 0x10000000);
}

TEST_F(HttpFetcherTest, ReportsTheStatusLineWithoutControlBytes)
{
    server.Respond("/teapot",
                   HttpResponse::Raw("HTTP/1.1 418 I'm a \x1b[31mteapot\x7f\r\nContent-Length: 0\r\n\r\n"));
    server.Respond("/bare", HttpResponse::Raw("HTTP/1.1 503\r\nContent-Length: 0\r\n\r\n"));
    server.Respond("/nowhere", HttpResponse::Make(302, "", {"Content-Location: /page"}));
    FetchReport report;
    EXPECT_FALSE(fetcher.FetchPage(server.Url("/teapot"), nullptr, {}, report));
    EXPECT_EQ(FetchFailureText(report), "the server answered 418 I'm a ?[31mteapot?");
    EXPECT_EQ(fetcher.DownloadToFile(server.Url("/bare"), dir.File("x"), nullptr, {}, report),
              FETCH_BAD_STATUS);
    EXPECT_EQ(FetchFailureText(report), "the server answered 503");
    EXPECT_FALSE(fetcher.FetchPage(server.Url("/nowhere"), nullptr, {}, report));
    EXPECT_EQ(report.status, FETCH_REDIRECTED);
    EXPECT_EQ(FetchFailureText(report),
              "the server answered 302 Found without saying where to (no Location header)");
    // A report is filled afresh by each call.
    server.Respond("/fine", HttpResponse::Make(200, "fine"));
    EXPECT_EQ(fetcher.FetchPage(server.Url("/fine"), nullptr, {}, report), "fine");
    EXPECT_EQ(report.status, FETCH_OK);
    EXPECT_EQ(report.httpStatus, 200);
    EXPECT_TRUE(report.reason.empty());
}

TEST_F(HttpFetcherTest, AWholeFetchEndsAtItsTimeLimitHoweverTheBytesTrickle)
{
    // A byte every 10 ms: never a stall, but seconds for the whole answer.
    test::TricklingHttpServer trickling(10ms);
    HttpFetcher limited({5000ms, 5000ms, 300ms});
    WriteFileBytes(dir.File("keep.dat"), "old contents");

    Clock::time_point start = Clock::now();
    FetchReport report;
    EXPECT_EQ(limited.DownloadToFile(trickling.PageUrl(), dir.File("keep.dat"), nullptr, {}, report),
              FETCH_TIME_LIMIT);
    EXPECT_LT(Clock::now() - start, trickling.FullPageTime() / 2);
    EXPECT_NE(FetchFailureText(report).find("time limit"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(dir.File("keep.dat")), "old contents");

    for (const std::string& url : {trickling.PageUrl(), trickling.RedirectUrl()}) {
        start = Clock::now();
        std::int32_t status = 0;
        EXPECT_FALSE(limited.FetchPage(url, nullptr, {}, &status)) << url;
        EXPECT_EQ(status, FETCH_TIME_LIMIT) << url;
        EXPECT_LT(Clock::now() - start, trickling.FullPageTime() / 2) << url;
    }
    EXPECT_EQ(FetchStatusName(FETCH_TIME_LIMIT), "FETCH_TIME_LIMIT");
}

TEST_F(HttpFetcherTest, TheTimeLimitSpansEveryRedirect)
{
    // Each hop alone takes well under the limit; the chain of them does not.
    constexpr int kHops = 8;
    for (int i = 0; i < kHops; ++i) {
        HttpResponse hop = HttpResponse::Redirect(302, "/hop/" + std::to_string(i + 1));
        hop.chunkBytes = 20;
        hop.chunkDelay = 30ms;
        server.Respond("/hop/" + std::to_string(i), hop);
    }
    server.Respond("/hop/" + std::to_string(kHops), HttpResponse::Make(200, "end"));
    HttpFetcher limited({5000ms, 5000ms, 600ms});
    std::int32_t status = 0;
    EXPECT_FALSE(limited.FetchPage(server.Url("/hop/0"), nullptr, {}, &status));
    EXPECT_EQ(status, FETCH_TIME_LIMIT);
    EXPECT_LT(server.RequestCount(), static_cast<std::size_t>(kHops));
    // With room for all of them, the same chain ends well.
    EXPECT_EQ(fetcher.FetchPage(server.Url("/hop/0"), nullptr, {}, &status), "end");
}

TEST_F(HttpFetcherTest, HttpsAddressesAreTriedNotRefused)
{
    test::PlainTextListener plain;
    // The attempt reaches the listener and fails in the TLS handshake, not as a refused address.
    for (const char* scheme : {"https", "HTTPS", "HtTpS"}) {
        std::int32_t status = 0;
        EXPECT_FALSE(Fetch(plain.Url(scheme), status)) << scheme;
        EXPECT_EQ(status, CURLE_SSL_CONNECT_ERROR) << scheme;
        FetchReport report;
        EXPECT_EQ(fetcher.DownloadToFile(plain.Url(scheme), dir.File("x"), nullptr, {}, report),
                  CURLE_SSL_CONNECT_ERROR)
            << scheme;
        EXPECT_NE(FetchFailureText(report).find("secure connection"), std::string::npos);
    }
    EXPECT_EQ(plain.connectionsAccepted(), 6);

    // A redirect from http to https is followed.
    server.Respond("/secure", HttpResponse::Redirect(302, plain.Url("https")));
    std::int32_t status = 0;
    EXPECT_FALSE(Fetch(server.Url("/secure"), status));
    EXPECT_EQ(status, CURLE_SSL_CONNECT_ERROR);
    EXPECT_EQ(plain.connectionsAccepted(), 7);
    EXPECT_FALSE(std::filesystem::exists(dir.File("x")));

    // Plain http to the same listener still reads its answer as before.
    FetchReport report;
    EXPECT_FALSE(fetcher.FetchPage(plain.Url("http"), nullptr, {}, report));
    EXPECT_EQ(FetchFailureText(report), "the server answered 400 Bad Request");
}

TEST_F(HttpFetcherTest, ACertificateNoStoreTrustsIsItsOwnFailure)
{
    test::TlsTestServer tls;
    FetchReport report;
    EXPECT_FALSE(fetcher.FetchPage(tls.Url("/page"), nullptr, {}, report));
    EXPECT_EQ(report.status, FETCH_BAD_CERTIFICATE);
    EXPECT_NE(FetchFailureText(report).find("certificate could not be verified"), std::string::npos);
    EXPECT_EQ(fetcher.DownloadToFile(tls.Url("/file"), dir.File("x"), nullptr, {}, report),
              FETCH_BAD_CERTIFICATE);
    EXPECT_FALSE(std::filesystem::exists(dir.File("x")));
    // Also where a redirect leads there.
    server.Respond("/secure", HttpResponse::Redirect(302, tls.Url("/page")));
    std::int32_t status = 0;
    EXPECT_FALSE(Fetch(server.Url("/secure"), status));
    EXPECT_EQ(status, FETCH_BAD_CERTIFICATE);
    // Each attempt got as far as the handshake, and none through it.
    EXPECT_EQ(tls.connectionsAccepted(), 3);
    EXPECT_EQ(tls.handshakesCompleted(), 0);
    EXPECT_EQ(FetchStatusName(FETCH_BAD_CERTIFICATE), "FETCH_BAD_CERTIFICATE");
}

TEST(FetchFailureText, NamesEachFailureForPeople)
{
    FetchReport report;
    report.status = FETCH_BAD_CERTIFICATE;
    EXPECT_NE(FetchFailureText(report).find("certificate could not be verified"), std::string::npos);
    report.status = CURLE_SSL_CACERT_BADFILE;
    EXPECT_NE(FetchFailureText(report).find("ca-certificates"), std::string::npos);
    report.status = CURLE_COULDNT_RESOLVE_HOST;
    EXPECT_NE(FetchFailureText(report).find("name was not found"), std::string::npos);
    report.status = CURLE_TOO_MANY_REDIRECTS;
    EXPECT_EQ(FetchFailureText(report), "the transfer failed (Number of redirects hit maximum amount)");
    report.status = 99999;
    EXPECT_EQ(FetchFailureText(report), "the transfer failed (status 99999)");
    // No internal names reach people.
    for (std::int32_t status : {FETCH_OUT_OF_MEMORY,
                                FETCH_BAD_STATUS,
                                FETCH_NOT_HTTP,
                                FETCH_FILE_ERROR,
                                FETCH_REDIRECTED,
                                FETCH_UNAUTHORIZED,
                                FETCH_CANCELLED,
                                FETCH_TIME_LIMIT}) {
        report.status = status;
        EXPECT_EQ(FetchFailureText(report).find("FETCH_"), std::string::npos) << status;
        EXPECT_FALSE(FetchFailureText(report).empty()) << status;
    }
    report.reason = "the server answered 404 Not Found";
    EXPECT_EQ(FetchFailureText(report), report.reason);
}

TEST_F(HttpFetcherTest, SeveralPagesAtOnce)
{
    constexpr int kThreads = 6;
    for (int i = 0; i < kThreads; ++i) {
        server.Respond("/page/" + std::to_string(i),
                       HttpResponse::Make(200, std::string(20000 + i, 'a' + i)));
    }
    std::vector<std::optional<std::string>> pages(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back(
            [&, i] { pages[i] = fetcher.FetchPage(server.Url("/page/" + std::to_string(i)), this, {}); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(pages[i], std::string(20000 + i, 'a' + i)) << i;
    }
}

TEST(FetchStatusName, NamesEachStatus)
{
    EXPECT_EQ(FetchStatusName(FETCH_OK), "ok");
    EXPECT_EQ(FetchStatusName(FETCH_REDIRECTED), "FETCH_REDIRECTED");
    EXPECT_EQ(FetchStatusName(FETCH_CANCELLED), "FETCH_CANCELLED");
    EXPECT_EQ(FetchStatusName(0x10000011), "FETCH_NOT_HTTP");
    EXPECT_EQ(FetchStatusName(-1), "FETCH_OUT_OF_MEMORY");
    EXPECT_EQ(FetchStatusName(CURLE_OPERATION_TIMEDOUT), "HTTP client error 28 (Timeout was reached)");
    EXPECT_EQ(FetchStatusName(99999), "HTTP client error 99999");
}

} // namespace
} // namespace tallyhawk
