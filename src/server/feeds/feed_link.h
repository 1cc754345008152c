#pragma once

#include <string>
#include <string_view>

namespace tallyhawk::server
{

// Entry and site links: resolved against the base address the feed gives (its own address, or
// xml:base) and kept only when the result is an http or https address, since the site redirects to
// them.
class FeedLink
{
public:
    // The absolute http or https address `link` names from `base`, with its scheme in small letters,
    // or empty. White space around the link is dropped; spaces and other characters an address may
    // not hold are escaped.
    static std::string Resolve(std::string_view link, std::string_view base);
};

} // namespace tallyhawk::server
