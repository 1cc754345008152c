#include "core/settings/site_url.h"

#include <QSettings>
#include <QString>

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
    QSettings settings(QStringLiteral("Quillmarch"), QStringLiteral("Tallyhawk"));
    QVariant value = settings.value(QStringLiteral("SiteUrl"));
    if (value.typeId() == QMetaType::QString) {
        std::string url = value.toString().toStdString();
        if (!url.empty()) {
            return url;
        }
    }
    return DefaultSiteUrl();
}

} // namespace tallyhawk
