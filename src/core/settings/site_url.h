#pragma once

#include <string>

namespace tallyhawk
{

class Settings;

inline constexpr int kDefaultServerPort = 22;

// The build's constants.
std::string DefaultSiteUrl();
std::string DefaultServerHost();

// The site's base URL: the loaded setting SiteUrl when it is not empty (set only from outside the
// program, so a local service can stand in), else the build's constant.
std::string SiteBaseUrl(const Settings& settings);

} // namespace tallyhawk
