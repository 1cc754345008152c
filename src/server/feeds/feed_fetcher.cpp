#include "server/feeds/feed_fetcher.h"

#include "core/common/program_version.h"
#include "server/feeds/feed_date.h"
#include "server/feeds/feed_parser.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <memory>
#include <mutex>

namespace tallyhawk::server
{

namespace
{

// Past the parser's bound by enough that a cut-off feed is told from one of exactly that size.
constexpr std::size_t kReadPastBound = 64 * 1024;

struct Transfer
{
    FeedFetcher::Response* response;
    std::size_t maxBytes;
    const std::function<bool()>* cancelled;
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    std::string& body = transfer->response->body;
    const std::size_t room = transfer->maxBytes - std::min(transfer->maxBytes, body.size());
    if (bytes > room) {
        body.append(data, room);
        transfer->response->truncated = true;
        return 0; // ends the transfer: the rest is not wanted
    }
    body.append(data, bytes);
    return bytes;
}

std::string Trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::size_t ReadHeader(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* response = static_cast<FeedFetcher::Response*>(user);
    const std::size_t bytes = size * count;
    const std::string_view line(data, bytes);
    // Each answer of a redirect chain starts with its status line: only the last one's headers count.
    if (line.starts_with("HTTP/")) {
        response->etag.clear();
        response->lastModified.clear();
        response->retryAfter.clear();
        return bytes;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return bytes;
    }
    std::string name(line.substr(0, colon));
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    const std::string value = Trimmed(line.substr(colon + 1));
    if (name == "etag") {
        response->etag = value;
    } else if (name == "last-modified") {
        response->lastModified = value;
    } else if (name == "retry-after") {
        response->retryAfter = value;
    }
    return bytes;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* transfer = static_cast<Transfer*>(user);
    return *transfer->cancelled && (*transfer->cancelled)() ? 1 : 0;
}

void InitOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

std::string FeedFetcher::UserAgent()
{
    return "Tallyhawk-server/" + std::string(kReleaseVersion) + " (+feeds)";
}

FeedFetcher::Response FeedFetcher::Fetch(const Request& request, const Limits& limits)
{
    InitOnce();
    Response response;
    response.url = request.url;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl) {
        response.failure = "the fetcher could not start";
        return response;
    }
    Transfer transfer{&response,
                      limits.maxBytes != 0 ? limits.maxBytes : FeedParser::kMaxFeedBytes + kReadPastBound,
                      &limits.cancelled};
    const std::string agent = UserAgent();
    CURL* e = curl.get();
    curl_easy_setopt(e, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count()));
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.transfer.count()));
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, ReadHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &response);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers,
                                "Accept: application/atom+xml, application/rss+xml, application/feed+json, "
                                "application/xml;q=0.9, text/xml;q=0.9, */*;q=0.8");
    if (!request.etag.empty()) {
        headers = curl_slist_append(headers, ("If-None-Match: " + request.etag).c_str());
    }
    if (!request.lastModified.empty()) {
        headers = curl_slist_append(headers, ("If-Modified-Since: " + request.lastModified).c_str());
    }
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headerList(headers, &curl_slist_free_all);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers);
    const CURLcode result = curl_easy_perform(e);
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &response.status);
    char* finalUrl = nullptr;
    if (curl_easy_getinfo(e, CURLINFO_EFFECTIVE_URL, &finalUrl) == CURLE_OK && finalUrl != nullptr) {
        response.url = finalUrl;
    }
    if (result == CURLE_WRITE_ERROR && response.truncated) {
        return response; // cut at the bound on purpose: what came is read
    }
    if (result != CURLE_OK) {
        response.failure = result == CURLE_UNSUPPORTED_PROTOCOL ? "only http and https addresses are fetched"
            : result == CURLE_ABORTED_BY_CALLBACK               ? "the fetch was stopped"
                                                                : curl_easy_strerror(result);
        response.body.clear();
    }
    return response;
}

std::optional<std::int64_t> FeedFetcher::RetryAfterSeconds(const std::string& header, std::int64_t now)
{
    const std::string value = Trimmed(header);
    if (value.empty()) {
        return std::nullopt;
    }
    std::int64_t seconds = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (error == std::errc() && end == value.data() + value.size()) {
        return seconds >= 0 ? std::optional<std::int64_t>(seconds) : std::nullopt;
    }
    if (std::optional<std::int64_t> date = FeedDate::ParseRfc822(value)) {
        return std::max<std::int64_t>(0, *date - now);
    }
    return std::nullopt;
}

} // namespace tallyhawk::server
