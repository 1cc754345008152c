#pragma once

#include "server/server_item.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk::server
{

// The bodies of the site's pages: the list update answers the program downloads, and plain pages for
// every address it opens in a browser.
class SitePages
{
public:
    // "<IT><ID>id</ID><NM>name</NM></IT>" per entry, one a line, inside a small page. Names keep
    // their bytes; a name holding a tag of the answer would end its entry early, so those are left out.
    static std::string UpdateAnswer(const std::vector<NamedEntry>& entries);
    // The idx argument of a list update: the highest service id the client holds; 0 when absent or
    // unusable.
    static std::int32_t IndexArgument(std::string_view text);

    // A page with a heading and paragraphs (HTML-escaped).
    static std::string Page(std::string_view title, const std::vector<std::string>& paragraphs);
    // The page of one item, or a not-found page.
    static std::string ItemPage(std::string_view what, const std::optional<ServerItem>& item);
    static std::string Escape(std::string_view text);
    // An http or https address holding no control characters, fit to send as a redirect's Location.
    static bool IsWebAddress(std::string_view link);
};

} // namespace tallyhawk::server
