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

std::string SiteBaseUrl()
{
    std::optional<std::string> url = Settings().ReadText("SiteUrl");
    return url && !url->empty() ? *url : DefaultSiteUrl();
}

} // namespace tallyhawk
