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
};

// "FETCH_REDIRECTED" and so on, "ok" for 0, "FETCH_OUT_OF_MEMORY" for -1, and "HTTP client error N
// (text)" for the client's own numbers.
std::string FetchStatusName(std::int32_t status);

// Plain HTTP GET requests: files from the service's own site, and store result pages.
class HttpFetcher
{
public:
    static constexpr std::size_t kMaxBody = 320000;
    static constexpr int kMaxRedirects = 20;

    // The stop token and the stall clock are looked at every 50 ms while a transfer waits, and at
    // every piece of a response.
    struct Timeouts
    {
        std::chrono::milliseconds connect{30000};
        // A transfer that moves no byte for this long is given up.
        std::chrono::milliseconds stall{60000};
    };

    HttpFetcher() = default;
    explicit HttpFetcher(Timeouts timeouts)
        : timeouts_(timeouts)
    { }

    // Fetches url with the service's agent name and writes the body (line feeds only) to fileName,
    // whole or not at all. Does not follow redirects. FETCH_OK or a failure status.
    std::int32_t DownloadToFile(const std::string& url,
                                const std::string& fileName,
                                const void* context,
                                std::stop_token stop) const;

    // Fetches a page as a desktop browser would, following up to 20 redirects. The body (at most
    // kMaxBody - 1 bytes, cut at zero bytes per piece) or nothing; `status` gets the reason.
    std::optional<std::string> FetchPage(const std::string& url,
                                         const void* context,
                                         std::stop_token stop,
                                         std::int32_t* status = nullptr) const;

private:
    Timeouts timeouts_;
};

} // namespace tallyhawk
