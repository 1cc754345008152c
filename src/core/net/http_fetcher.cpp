#include "core/net/http_fetcher.h"

#include "core/net/body_collector.h"
#include "core/net/http_exchange.h"
#include "core/net/redirect_location.h"
#include "core/platform/output_file.h"

#include <curl/curl.h>

#include <chrono>
#include <new>
#include <string_view>
#include <vector>

namespace tallyhawk
{

namespace
{

// The service's own site knows the program by its agent name.
const std::vector<std::string> kFileRequestHeaders = {
    "Accept: text/*",
    "User-Agent: Quillmarch",
};

// Store sites answer the way they answer a desktop browser.
const std::vector<std::string> kPageRequestHeaders = {
    "Accept: text/html",
    "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)",
};

bool IsRedirect(long status)
{
    return status == 301 || status == 302 || status == 303;
}

// "the server answered 404 Not Found" from the status line of the raw headers. The reason phrase comes
// from the network: only printable ASCII of it is kept, and not much of it.
std::string AnsweredReason(long status, std::string_view rawHeaders)
{
    constexpr std::size_t kMaxPhrase = 60;
    std::string_view line = rawHeaders.substr(0, rawHeaders.find_first_of("\r\n"));
    std::size_t space = line.find(' ');
    std::string_view phrase;
    if (space != std::string_view::npos) {
        std::size_t second = line.find(' ', space + 1);
        if (second != std::string_view::npos) {
            phrase = line.substr(second + 1, kMaxPhrase);
        }
    }
    std::string reason = "the server answered " + std::to_string(status);
    if (!phrase.empty()) {
        reason += ' ';
        for (char c : phrase) {
            reason += c >= 0x20 && c < 0x7f ? c : '?';
        }
    }
    return reason;
}

void NoteExchange(FetchReport& report, const HttpExchange::Outcome& outcome)
{
    report.httpStatus = outcome.httpStatus;
    if (outcome.headersTooLarge) {
        report.reason = "the response headers are too large (over 256 KiB, or a line over 100 KiB)";
    }
}

} // namespace

std::string FetchStatusName(std::int32_t status)
{
    switch (status) {
    case FETCH_OK:
        return "ok";
    case FETCH_OUT_OF_MEMORY:
        return "FETCH_OUT_OF_MEMORY";
    case FETCH_BAD_STATUS:
        return "FETCH_BAD_STATUS";
    case FETCH_NOT_HTTP:
        return "FETCH_NOT_HTTP";
    case FETCH_FILE_ERROR:
        return "FETCH_FILE_ERROR";
    case FETCH_REDIRECTED:
        return "FETCH_REDIRECTED";
    case FETCH_UNAUTHORIZED:
        return "FETCH_UNAUTHORIZED";
    case FETCH_CANCELLED:
        return "FETCH_CANCELLED";
    case FETCH_TIME_LIMIT:
        return "FETCH_TIME_LIMIT";
    case FETCH_BAD_CERTIFICATE:
        return "FETCH_BAD_CERTIFICATE";
    default:
        break;
    }
    std::string name = "HTTP client error " + std::to_string(status);
    if (status > 0 && status < static_cast<std::int32_t>(CURL_LAST)) {
        name += " (";
        name += curl_easy_strerror(static_cast<CURLcode>(status));
        name += ")";
    }
    return name;
}

// `context` has no visible effect on a request; it is accepted for the callers' sake.
std::int32_t HttpFetcher::DownloadToFile(const std::string& url,
                                         const std::string& fileName,
                                         const void* /*context*/,
                                         std::stop_token stop) const
{
    FetchReport report;
    return DownloadToFile(url, fileName, nullptr, std::move(stop), report);
}

std::int32_t HttpFetcher::DownloadToFile(const std::string& url,
                                         const std::string& fileName,
                                         const void* /*context*/,
                                         std::stop_token stop,
                                         FetchReport& report) const
{
    report = FetchReport();
    report.status = Download(url, fileName, std::move(stop), report);
    return report.status;
}

std::int32_t HttpFetcher::Download(const std::string& url,
                                   const std::string& fileName,
                                   std::stop_token stop,
                                   FetchReport& report) const
{
    try {
        const auto deadline = std::chrono::steady_clock::now() + timeouts_.whole;
        CheckedUrl checked = CheckHttpUrl(url);
        if (checked.kind != UrlKind::Http) {
            return FETCH_NOT_HTTP;
        }
        if (stop.stop_requested()) {
            return FETCH_CANCELLED;
        }
        // Text lines as the site's files have always been saved: line feeds only. A zero byte inside
        // a line loses the rest of that line's piece (see BodyCollector).
        BodyCollector body(BodyCollector::Mode::TextLines, kMaxBody);
        std::int32_t refusal = FETCH_OK;
        auto wantBody = [&refusal, &report](long status, std::string_view rawHeaders) {
            if (status == 401) {
                refusal = FETCH_UNAUTHORIZED;
            } else if (IsRedirect(status)) {
                refusal = FETCH_REDIRECTED;
            } else if (status >= 400) {
                // An error page is no file of the site's: saving it would replace a good file.
                refusal = FETCH_BAD_STATUS;
            }
            if (refusal != FETCH_OK) {
                report.reason = AnsweredReason(status, rawHeaders);
            }
            if (refusal == FETCH_REDIRECTED) {
                report.reason += " (a redirect, which downloads do not follow); check the site address";
            }
            return refusal == FETCH_OK;
        };
        auto takeBody = [&body](std::string_view bytes) {
            return body.Feed(bytes);
        };
        HttpExchange::Outcome outcome = HttpExchange(timeouts_, deadline, stop)
                                            .Run(checked.url, kFileRequestHeaders, wantBody, takeBody);
        NoteExchange(report, outcome);
        if (outcome.status != FETCH_OK) {
            return outcome.status;
        }
        if (refusal != FETCH_OK) {
            return refusal;
        }
        body.Finish();
        if (stop.stop_requested()) {
            return FETCH_CANCELLED;
        }
        // Whole or not at all for a regular file: a failure leaves an existing file as it was.
        if (!OutputFile::Write(fileName, body.text())) {
            return FETCH_FILE_ERROR;
        }
        return FETCH_OK;
    } catch (const std::bad_alloc&) {
        return FETCH_OUT_OF_MEMORY;
    }
}

std::optional<std::string> HttpFetcher::FetchPage(const std::string& url,
                                                  const void* context,
                                                  std::stop_token stop,
                                                  std::int32_t* status) const
{
    FetchReport report;
    std::optional<std::string> page = FetchPage(url, context, std::move(stop), report);
    if (status != nullptr) {
        *status = report.status;
    }
    return page;
}

std::optional<std::string> HttpFetcher::FetchPage(const std::string& url,
                                                  const void* /*context*/,
                                                  std::stop_token stop,
                                                  FetchReport& report) const
{
    report = FetchReport();
    auto fail = [&report](std::int32_t status, std::string reason = {}) -> std::optional<std::string> {
        report.status = status;
        if (!reason.empty()) {
            report.reason = std::move(reason);
        }
        return std::nullopt;
    };
    try {
        const auto deadline = std::chrono::steady_clock::now() + timeouts_.whole;
        CheckedUrl checked = CheckHttpUrl(url);
        if (checked.kind != UrlKind::Http) {
            return fail(FETCH_NOT_HTTP);
        }
        if (stop.stop_requested()) {
            return fail(FETCH_CANCELLED);
        }
        std::string current = std::move(checked.url);
        for (int redirects = 0;; ++redirects) {
            BodyCollector body(BodyCollector::Mode::RawPieces, kMaxBody);
            std::int32_t refusal = FETCH_OK;
            bool redirected = false;
            auto wantBody = [&](long httpStatus, std::string_view rawHeaders) {
                if (httpStatus == 200) {
                    return true;
                }
                // Only the first answer is a refusal to authorize; after a redirect a 401 is just
                // an unexpected status.
                if (redirects == 0 && httpStatus == 401) {
                    refusal = FETCH_UNAUTHORIZED;
                } else if (IsRedirect(httpStatus)) {
                    redirected = true;
                } else {
                    refusal = FETCH_BAD_STATUS;
                }
                if (!redirected) {
                    report.reason = AnsweredReason(httpStatus, rawHeaders);
                }
                return false;
            };
            auto takeBody = [&body](std::string_view bytes) {
                return body.Feed(bytes);
            };
            HttpExchange::Outcome outcome = HttpExchange(timeouts_, deadline, stop)
                                                .Run(current, kPageRequestHeaders, wantBody, takeBody);
            NoteExchange(report, outcome);
            if (outcome.status != FETCH_OK) {
                return fail(outcome.status);
            }
            if (refusal != FETCH_OK) {
                return fail(refusal);
            }
            if (!redirected) {
                body.Finish();
                if (stop.stop_requested()) {
                    return fail(FETCH_CANCELLED);
                }
                report.status = FETCH_OK;
                return body.TakeText();
            }
            if (redirects == kMaxRedirects) {
                return fail(FETCH_BAD_STATUS, "more than " + std::to_string(kMaxRedirects) + " redirects");
            }
            std::optional<std::string_view> location = FindRedirectLocation(outcome.rawHeaders);
            if (!location) {
                return fail(FETCH_REDIRECTED,
                            AnsweredReason(outcome.httpStatus, outcome.rawHeaders)
                                + " without saying where to (no Location header)");
            }
            if (stop.stop_requested()) {
                return fail(FETCH_CANCELLED);
            }
            // A relative target is resolved against the address that answered, as browsers do.
            CheckedUrl target = CheckHttpUrl(*location, current);
            if (target.kind == UrlKind::Unparsable) {
                return fail(FETCH_NOT_HTTP, "the server redirected to an address that cannot be read");
            }
            if (target.kind == UrlKind::OtherScheme) {
                return fail(FETCH_BAD_STATUS,
                            "the server redirected to an address that is not http or https");
            }
            current = std::move(target.url);
        }
    } catch (const std::bad_alloc&) {
        return fail(FETCH_OUT_OF_MEMORY);
    }
}

} // namespace tallyhawk
