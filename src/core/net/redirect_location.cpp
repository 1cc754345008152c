#include "core/net/redirect_location.h"

#include <curl/curl.h>

#include <memory>

namespace tallyhawk
{

namespace
{

constexpr std::string_view kLocationName = "location";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsWebScheme(std::string_view scheme)
{
    return scheme == "http" || scheme == "https";
}

// True when the header line's name is "Location" in any case; `value` then gets what follows the colon.
bool IsLocationLine(std::string_view line, std::string_view& value)
{
    std::size_t colon = line.find(':');
    if (colon != kLocationName.size()) {
        return false;
    }
    for (std::size_t i = 0; i < colon; ++i) {
        if (Lower(line[i]) != kLocationName[i]) {
            return false;
        }
    }
    value = line.substr(colon + 1);
    return true;
}

bool IsAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsSchemeChar(char c)
{
    return IsAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The scheme of an absolute reference (RFC 3986: ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":"),
// lower-cased; nothing for a relative reference.
std::optional<std::string> SchemeOf(std::string_view reference)
{
    if (reference.empty() || !IsAlpha(reference.front())) {
        return std::nullopt;
    }
    std::string scheme;
    for (char c : reference) {
        if (c == ':') {
            return scheme;
        }
        if (!IsSchemeChar(c)) {
            return std::nullopt;
        }
        scheme.push_back(Lower(c));
    }
    return std::nullopt;
}

struct UrlHandleDeleter
{
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};

struct CurlTextDeleter
{
    void operator()(char* text) const { curl_free(text); }
};

using CurlText = std::unique_ptr<char, CurlTextDeleter>;

CurlText GetPart(CURLU* handle, CURLUPart part)
{
    char* text = nullptr;
    if (curl_url_get(handle, part, &text, 0) != CURLUE_OK) {
        return nullptr;
    }
    return CurlText(text);
}

} // namespace

std::optional<std::string_view> FindRedirectLocation(std::string_view rawHeaders)
{
    // Only at the start of a header line, so "Content-Location: " is not taken for the target.
    std::size_t lineStart = 0;
    while (lineStart < rawHeaders.size()) {
        std::size_t lineEnd = rawHeaders.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) {
            lineEnd = rawHeaders.size();
        }
        std::string_view line = rawHeaders.substr(lineStart, lineEnd - lineStart);
        std::string_view value;
        if (IsLocationLine(line, value)) {
            value = value.substr(0, value.find('\r'));
            while (!value.empty() && IsBlank(value.front())) {
                value.remove_prefix(1);
            }
            while (!value.empty() && IsBlank(value.back())) {
                value.remove_suffix(1);
            }
            return value;
        }
        lineStart = lineEnd + 1;
    }
    return std::nullopt;
}

CheckedUrl CheckHttpUrl(std::string_view reference, std::string_view base)
{
    CheckedUrl result;
    // libcurl reads zero-terminated text: an embedded zero byte would silently cut the address.
    if (reference.empty() || reference.find('\0') != std::string_view::npos
        || base.find('\0') != std::string_view::npos) {
        return result;
    }
    std::optional<std::string> scheme = SchemeOf(reference);
    if (scheme && !IsWebScheme(*scheme)) {
        result.kind = UrlKind::OtherScheme;
        return result;
    }
    // "http:" must be followed by an authority; libcurl would take "http:/x" for the host "x".
    if (scheme && reference.substr(scheme->size() + 1, 2) != "//") {
        return result;
    }
    if (!scheme && base.empty()) {
        return result;
    }

    std::unique_ptr<CURLU, UrlHandleDeleter> handle(curl_url());
    if (!handle) {
        return result;
    }
    const unsigned flags = CURLU_NON_SUPPORT_SCHEME;
    if (!scheme && curl_url_set(handle.get(), CURLUPART_URL, std::string(base).c_str(), flags) != CURLUE_OK) {
        return result;
    }
    // With a base set, libcurl resolves a relative reference against it.
    if (curl_url_set(handle.get(), CURLUPART_URL, std::string(reference).c_str(), flags) != CURLUE_OK) {
        return result;
    }
    CurlText resolvedScheme = GetPart(handle.get(), CURLUPART_SCHEME);
    if (!resolvedScheme || !IsWebScheme(resolvedScheme.get())) {
        result.kind = UrlKind::OtherScheme;
        return result;
    }
    CurlText host = GetPart(handle.get(), CURLUPART_HOST);
    if (!host || *host.get() == '\0') {
        return result;
    }
    curl_url_set(handle.get(), CURLUPART_USER, nullptr, 0);
    curl_url_set(handle.get(), CURLUPART_PASSWORD, nullptr, 0);
    curl_url_set(handle.get(), CURLUPART_OPTIONS, nullptr, 0);
    curl_url_set(handle.get(), CURLUPART_FRAGMENT, nullptr, 0);
    CurlText url = GetPart(handle.get(), CURLUPART_URL);
    if (!url) {
        return result;
    }
    result.kind = UrlKind::Http;
    result.url = url.get();
    return result;
}

} // namespace tallyhawk
