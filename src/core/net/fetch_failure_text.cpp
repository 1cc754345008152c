#include "core/net/http_fetcher.h"

#include <curl/curl.h>

namespace tallyhawk
{

namespace
{

std::string StatusText(std::int32_t status)
{
    switch (status) {
    case FETCH_OK:
        return "no failure";
    case FETCH_OUT_OF_MEMORY:
        return "there was not enough memory";
    case FETCH_BAD_STATUS:
        return "the server's answer cannot be used";
    case FETCH_NOT_HTTP:
        return "the address is not an http or https URL; check it";
    case FETCH_FILE_ERROR:
        return "the file could not be written; check the folder and its permissions";
    case FETCH_REDIRECTED:
        return "the server sent the request elsewhere (a redirect), which downloads do not follow; check the "
               "site address";
    case FETCH_UNAUTHORIZED:
        return "the server asks for a sign-in (401 Unauthorized)";
    case FETCH_CANCELLED:
        return "it was cancelled";
    case FETCH_TIME_LIMIT:
        return "it took longer than its time limit as a whole; the server is too slow, try again later";
    case FETCH_BAD_CERTIFICATE:
        return "the site's certificate could not be verified against the system's certificates; check the "
               "address and the system clock";
    case CURLE_COULDNT_RESOLVE_HOST:
        return "the server's name was not found; check the address and the network connection";
    case CURLE_COULDNT_RESOLVE_PROXY:
        return "the proxy's name was not found; check the proxy settings (http_proxy, https_proxy)";
    case CURLE_COULDNT_CONNECT:
        return "no connection could be made; check the address and that the site is up";
    case CURLE_OPERATION_TIMEDOUT:
        return "the server did not answer in time; try again later";
    case CURLE_SSL_CONNECT_ERROR:
        return "no secure connection could be set up; check that the site takes https at that address";
    case CURLE_SSL_CACERT_BADFILE:
        return "the system's certificate store could not be read; install the ca-certificates package";
    case CURLE_GOT_NOTHING:
        return "the server closed the connection without an answer; try again later";
    case CURLE_PARTIAL_FILE:
        return "the server closed the connection before the whole answer came; try again later";
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
        return "the connection broke off; try again later";
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return "the server's answer is not HTTP; check the address";
    default:
        break;
    }
    if (status > 0 && status < static_cast<std::int32_t>(CURL_LAST)) {
        return std::string("the transfer failed (") + curl_easy_strerror(static_cast<CURLcode>(status)) + ")";
    }
    return "the transfer failed (status " + std::to_string(status) + ")";
}

} // namespace

std::string FetchFailureText(const FetchReport& report)
{
    return report.reason.empty() ? StatusText(report.status) : report.reason;
}

} // namespace tallyhawk
