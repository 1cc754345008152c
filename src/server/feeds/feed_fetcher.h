#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tallyhawk::server
{

// One conditional GET of a feed with libcurl: http and https only (redirects included), a deadline
// for the connection and one for the whole transfer, and at most a little more than the parser reads,
// so a feed that is too long shows as such without being held whole.
class FeedFetcher
{
public:
    struct Request
    {
        std::string url;
        std::string etag; // sent as If-None-Match when not empty
        std::string lastModified; // sent as If-Modified-Since when not empty
    };
    struct Limits
    {
        std::chrono::milliseconds connect{10000};
        std::chrono::milliseconds transfer{60000};
        std::size_t maxBytes = 0; // 0: a little past FeedParser::kMaxFeedBytes
        // Asked now and then during the transfer: true ends it at once (the service stopping).
        std::function<bool()> cancelled;
    };
    struct Response
    {
        // Empty when an answer came (whatever its status), else what went wrong, in words.
        std::string failure;
        long status = 0;
        std::string body;
        std::string url; // the address the body came from, after redirects
        std::string etag;
        std::string lastModified;
        std::string retryAfter; // the header as sent
        bool truncated = false; // the body was cut at the byte bound
    };

    // "Tallyhawk-server/3.2.0 (+feeds)": names the program and its version to the feed's host.
    static std::string UserAgent();
    static Response Fetch(const Request& request, const Limits& limits);
    // The seconds a Retry-After header asks for (a number of seconds or an HTTP date, against `now`),
    // or nothing when there is none or it cannot be read.
    static std::optional<std::int64_t> RetryAfterSeconds(const std::string& header, std::int64_t now);
};

} // namespace tallyhawk::server
