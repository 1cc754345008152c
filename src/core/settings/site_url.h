#pragma once

#include <string>

namespace tallyhawk
{

inline constexpr int kDefaultServerPort = 22;

// The build's constants.
std::string DefaultSiteUrl();
std::string DefaultServerHost();

// The site's base URL: the settings value "SiteUrl" when it holds a non-empty string (set only
// from outside the program, so a local service can stand in), else the build's constant.
std::string SiteBaseUrl();

} // namespace tallyhawk
