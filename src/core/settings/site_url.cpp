#include "core/settings/site_url.h"

#include "core/settings/settings.h"

namespace tallyhawk
{

std::string DefaultSiteUrl()
{
    return TALLYHAWK_SITE_URL;
}

std::string DefaultServerHost()
{
    return TALLYHAWK_SERVER_HOST;
}

std::string SiteBaseUrl(const Settings& settings)
{
    return settings.siteUrl.empty() ? DefaultSiteUrl() : settings.siteUrl;
}

} // namespace tallyhawk
