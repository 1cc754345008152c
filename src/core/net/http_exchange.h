#pragma once

#include "core/net/http_fetcher.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk
{

// One GET request (http or https, certificates checked against the system's store) on a libcurl handle
// of its own, without following redirects. The caller decides at the end of the response headers
// whether it wants the body, and takes the body as it arrives.
class HttpExchange
{
public:
    // Called once with the final status and the raw response headers (status line and header lines as
    // received); true reads the body, false ends the exchange there.
    using WantBody = std::function<bool(long status, std::string_view rawHeaders)>;
    // Takes received body bytes; false when no more is wanted (ends the transfer, not a failure).
    using TakeBody = std::function<bool(std::string_view bytes)>;

    struct Outcome
    {
        // FETCH_OK, FETCH_CANCELLED, FETCH_BAD_STATUS (response headers beyond any reason),
        // FETCH_TIME_LIMIT (the deadline passed), FETCH_BAD_CERTIFICATE, or the client's own error
        // number (CURLcode; CURLE_OPERATION_TIMEDOUT when the transfer stalled).
        std::int32_t status = FETCH_OK;
        // The response headers were refused for their size.
        bool headersTooLarge = false;
        long httpStatus = 0;
        std::string rawHeaders;
        // The body was read to its end or until TakeBody had enough.
        bool bodyRead = false;
    };

    // Response headers beyond this size are refused rather than held.
    static constexpr std::size_t kMaxHeaderBytes = 256 * 1024;

    // The exchange ends with FETCH_TIME_LIMIT at `deadline`, whatever it is doing then.
    HttpExchange(const HttpFetcher::Timeouts& timeouts,
                 std::chrono::steady_clock::time_point deadline,
                 std::stop_token stop);

    // `url` must be an absolute http or https URL (see CheckHttpUrl); `requestHeaders` are whole
    // header lines.
    Outcome Run(const std::string& url,
                const std::vector<std::string>& requestHeaders,
                const WantBody& wantBody,
                const TakeBody& takeBody) const;

private:
    HttpFetcher::Timeouts timeouts_;
    std::chrono::steady_clock::time_point deadline_;
    std::stop_token stop_;
};

// Sets libcurl up once for the process; safe to call from any thread at any time.
void EnsureHttpClientReady();

} // namespace tallyhawk
