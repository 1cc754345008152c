#include "core/common/site_addresses.h"

#include "core/common/item_kind.h"

namespace tallyhawk
{

namespace
{

std::string_view WithoutTrailingSlash(std::string_view base)
{
    while (!base.empty() && base.back() == '/') {
        base.remove_suffix(1);
    }
    return base;
}

std::string Join(std::string_view base, std::string_view path)
{
    std::string url(WithoutTrailingSlash(base));
    url += path;
    return url;
}

std::string Number(std::int32_t value)
{
    return std::to_string(value);
}

} // namespace

std::string RedirectPageUrl(std::string_view base, std::int32_t kind, std::int32_t id)
{
    return Join(base, "/redir.aspx?srcType=" + Number(kind) + "&srcId=" + Number(id));
}

std::string CouponPageUrl(std::string_view base, std::int32_t id)
{
    return Join(base, "/coupon.aspx?srcId=" + Number(id));
}

std::string DealPageUrl(std::string_view base, std::int32_t id)
{
    return Join(base, "/deal.aspx?srcId=" + Number(id));
}

std::string ItemPageUrl(std::string_view base, std::int32_t kind, std::int32_t id)
{
    return IsKind(kind, ItemKind::Coupon) ? CouponPageUrl(base, id) : DealPageUrl(base, id);
}

std::string MessagesPageUrl(std::string_view base, std::int32_t kind, std::int32_t id)
{
    return Join(base, "/messages.aspx?srcType=" + Number(kind) + "&srcId=" + Number(id));
}

std::string CashBackStoresUrl(std::string_view base)
{
    return Join(base, "/cbstores.aspx");
}

std::string DownloadPageUrl(std::string_view base)
{
    return Join(base, "/download.aspx");
}

std::string WebSpiderConfigUrl(std::string_view base)
{
    return Join(base, "/webspider.xml");
}

std::string StoresUpdateUrl(std::string_view base, std::int32_t highestIndex)
{
    return Join(base, "/stores.aspx?idx=" + Number(highestIndex) + "&user=" + std::string(kSiteUserName));
}

std::string CategoriesUpdateUrl(std::string_view base, std::int32_t highestIndex)
{
    return Join(base, "/categories.aspx?idx=" + Number(highestIndex) + "&user=" + std::string(kSiteUserName));
}

std::string SiteRootUrl(std::string_view base, bool trailingSlash)
{
    return Join(base, trailingSlash ? "/" : "");
}

} // namespace tallyhawk
