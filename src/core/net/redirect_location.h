#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tallyhawk
{

// The target of a redirect as the raw response headers give it: the value of the first "Location"
// header line (the name in any case, as HTTP header names are), without the line end and without
// blanks around it. Nothing when no such line exists.
std::optional<std::string_view> FindRedirectLocation(std::string_view rawHeaders);

// What an address turned out to be when checked for a request.
enum class UrlKind
{
    Http, // an http or https URL; CheckedUrl::url holds it ready for the request
    OtherScheme, // a well-formed reference with another scheme (ftp, file, mailto, ...)
    Unparsable, // not a URL at all
};

struct CheckedUrl
{
    UrlKind kind = UrlKind::Unparsable;
    // For UrlKind::Http: the absolute URL, its scheme in lower case, without user name, password and
    // fragment, which a request never sends.
    std::string url;
};

// Checks `reference` as an absolute URL, or with a non-empty `base` (an absolute http or https URL)
// also as a reference relative to it (RFC 3986), as a redirect target may be. Schemes are compared
// without regard to case.
CheckedUrl CheckHttpUrl(std::string_view reference, std::string_view base = {});

} // namespace tallyhawk
