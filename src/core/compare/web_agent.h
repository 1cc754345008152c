#pragma once

#include "core/common/status.h"
#include "core/net/http_fetcher.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

namespace tallyhawk
{

class WebSpider;

enum class AgentOrigin
{
    Site,
    User,
};

// One site agent: how to build a store's search address and which literal markers cut its result
// page into offers. Texts are used exactly as they stood between the tags; absent when the element
// was missing. They are views into the configuration text the agent was loaded from, which the agent
// holds (`source`), so an agent stays whole for as long as anyone holds it. Agents are shared
// (std::shared_ptr) so a reload of the configuration cannot free one that a search worker still uses;
// they are neither copyable nor movable, since a worker and its stop request belong to one agent.
struct WebAgent
{
    // The search address is held to 249 characters.
    static constexpr std::size_t kMaxUrlLength = 249;
    static constexpr std::string_view kKeywordMarker = " KEYWORD ";

    WebAgent() = default;
    WebAgent(const WebAgent&) = delete;
    WebAgent& operator=(const WebAgent&) = delete;

    std::int32_t siteId = 0;
    std::optional<std::string_view> siteType; // category ids, separated by commas or spaces
    std::optional<std::string_view> siteName;
    std::optional<std::string_view> siteAddress; // prefix for relative result links
    std::optional<std::string_view> formatString; // search address template holding " KEYWORD "
    std::optional<std::string_view> endHeader;
    std::optional<std::string_view> startResult;
    std::optional<std::string_view> endResult;
    std::optional<std::string_view> startItem;
    std::optional<std::string_view> endItem;
    std::optional<std::string_view> startText;
    std::optional<std::string_view> endText;
    std::optional<std::string_view> startUrl;
    std::optional<std::string_view> endUrl;
    std::optional<std::string_view> startPrice;
    std::optional<std::string_view> endPrice;
    std::optional<std::string_view> startPromo;
    std::optional<std::string_view> endPromo;
    // "schema.org": the result page's embedded product data (JSON-LD or microdata) gives the offers,
    // and the result and offer markers are neither needed nor used.
    std::optional<std::string_view> structuredData;
    // Where the agent came from: the site's file, or the user's own, which overrides it.
    AgentOrigin origin = AgentOrigin::Site;
    // The text the views above point into; null for an agent whose texts point elsewhere.
    std::shared_ptr<const char[]> source;

    // Run-time members, set by the search run and never read from the file.
    std::stop_source stopRequested;
    std::thread::id thread; // the worker running this agent; default (no thread) when none
    WebSpider* owner = nullptr;

    // True when the category id's first occurrence in siteType is followed by the end of the text, a
    // space or a comma.
    bool ServesCategory(std::int32_t categoryId) const;

    // The search address for a search text: formatString with its first " KEYWORD " replaced by the
    // encoded text. 0 with `url` set; kNoKeywordMarker when there is no marker or it stands at the
    // very start; kUnusableSearchText when the text encodes to nothing or the address would be longer
    // than kMaxUrlLength.
    std::int32_t BuildSearchUrl(std::string_view searchText, std::string& url) const;

    // True when the agent reads the page's schema.org data instead of cutting it with markers.
    bool ReadsStructuredData() const { return structuredData.has_value(); }
};

// Query-string encoding of a search text: a space becomes "+", letters, digits and "*-._" stay,
// every other byte becomes "%" and two lowercase hex digits.
std::string EncodeQueryText(std::string_view text);

// The text elements of an agent block, in file order, with the member each one fills.
inline constexpr std::size_t kWebAgentTextFieldCount = 18;
struct WebAgentTextField
{
    std::string_view element; // "SiteType", ...
    std::optional<std::string_view> WebAgent::*member;
    bool required; // markers only when the agent does not read structured data
};
std::span<const WebAgentTextField> WebAgentTextFields();

} // namespace tallyhawk
