#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tallyhawk
{

// Addresses of the service's web site. Each takes the site's base URL (scheme and host, see
// SiteBaseUrl(settings)) so callers and tests decide where the site lives; a trailing "/" on the base is
// dropped before a path is added.

// The program's name as the site's list downloads expect it in "user=".
inline constexpr std::string_view kSiteUserName = "Tallyhawk";

// An item or cash back store through the site's redirect page.
std::string RedirectPageUrl(std::string_view base, std::int32_t kind, std::int32_t id);
// A coupon's own page (kind 1).
std::string CouponPageUrl(std::string_view base, std::int32_t id);
// A deal's own page (any kind but 1).
std::string DealPageUrl(std::string_view base, std::int32_t id);
// The coupon page for kind 1, the deal page for any other kind.
std::string ItemPageUrl(std::string_view base, std::int32_t kind, std::int32_t id);
// A forum topic.
std::string MessagesPageUrl(std::string_view base, std::int32_t kind, std::int32_t id);
// The Cash Back Stores folder's page.
std::string CashBackStoresUrl(std::string_view base);
// The download page of a new version.
std::string DownloadPageUrl(std::string_view base);
// The price comparison agents' configuration.
std::string WebSpiderConfigUrl(std::string_view base);
// The store list update after the highest service store id held (0 when none).
std::string StoresUpdateUrl(std::string_view base, std::int32_t highestIndex);
// The category list update after the highest service category id held (0 when none).
std::string CategoriesUpdateUrl(std::string_view base, std::int32_t highestIndex);
// The site's home page: the base URL itself, or with a trailing "/".
std::string SiteRootUrl(std::string_view base, bool trailingSlash = false);

} // namespace tallyhawk
