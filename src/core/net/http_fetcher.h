#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

namespace tallyhawk
{

// Result codes of the fetcher. Values below 0x10000000 are the HTTP client's own error numbers
// (libcurl's CURLcode), passed through unchanged; -1 is an out-of-memory failure.
enum FetchStatus : std::int32_t
{
    FETCH_OK = 0,
    FETCH_OUT_OF_MEMORY = -1,
    FETCH_BAD_STATUS = 0x10000001,
    FETCH_NOT_HTTP = 0x10000011,
    FETCH_FILE_ERROR = 0x10000100,
    FETCH_REDIRECTED = 0x10000101,
    FETCH_UNAUTHORIZED = 0x10000110,
    FETCH_CANCELLED = 0x10000111,
    // The whole fetch, redirects included, took longer than Timeouts::whole.
    FETCH_TIME_LIMIT = 0x10001000,
    // An https site's certificate could not be verified against the system's certificate store.
    FETCH_BAD_CERTIFICATE = 0x10001001,
};

// "FETCH_REDIRECTED" and so on, "ok" for 0, "FETCH_OUT_OF_MEMORY" for -1, and "HTTP client error N
// (text)" for the client's own numbers.
std::string FetchStatusName(std::int32_t status);

// What a fetch ended with, for telling people: the status, and where the status alone says too
// little (an HTTP status refused, too many redirects, headers too large), the reason in words.
struct FetchReport
{
    std::int32_t status = FETCH_OK;
    // The status code of the last response, 0 when none came.
    long httpStatus = 0;
    // A lower-case clause such as "the server answered 404 Not Found"; empty when the status says it.
    std::string reason;
};

// What went wrong and, where it helps, what to try: `report.reason` when there is one, else a clause
// for the status ("the site's certificate could not be verified ..."). No final full stop.
std::string FetchFailureText(const FetchReport& report);

// GET requests over http or https: files from the service's own site, and store result pages.
class HttpFetcher
{
public:
    static constexpr std::size_t kMaxBody = 320000;
    static constexpr int kMaxRedirects = 20;

    // The stop token, the stall clock and the deadline are looked at every 50 ms while a transfer
    // waits, and at every piece of a response.
    struct Timeouts
    {
        std::chrono::milliseconds connect{30000};
        // A transfer that moves no byte for this long is given up.
        std::chrono::milliseconds stall{60000};
        // The whole call, every redirect included, however slowly the bytes keep coming.
        std::chrono::milliseconds whole{120000};
    };

    HttpFetcher() = default;
    explicit HttpFetcher(Timeouts timeouts)
        : timeouts_(timeouts)
    { }

    // Fetches url with the service's agent name and writes the body (line feeds only) to fileName,
    // whole or not at all. Does not follow redirects; a status of 400 or above is FETCH_BAD_STATUS.
    // FETCH_OK or a failure status.
    std::int32_t DownloadToFile(const std::string& url,
                                const std::string& fileName,
                                const void* context,
                                std::stop_token stop) const;
    // The same, with the reason of a failure in `report`.
    std::int32_t DownloadToFile(const std::string& url,
                                const std::string& fileName,
                                const void* context,
                                std::stop_token stop,
                                FetchReport& report) const;

    // Fetches a page as a desktop browser would, following up to 20 redirects. The body (at most
    // kMaxBody - 1 bytes, cut at zero bytes per piece) or nothing; `status` gets the reason.
    std::optional<std::string> FetchPage(const std::string& url,
                                         const void* context,
                                         std::stop_token stop,
                                         std::int32_t* status = nullptr) const;
    // The same, with the reason of a failure in `report`.
    std::optional<std::string>
    FetchPage(const std::string& url, const void* context, std::stop_token stop, FetchReport& report) const;

private:
    std::int32_t Download(const std::string& url,
                          const std::string& fileName,
                          std::stop_token stop,
                          FetchReport& report) const;

    Timeouts timeouts_;
};

} // namespace tallyhawk
