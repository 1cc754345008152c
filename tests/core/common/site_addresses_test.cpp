#include "core/common/site_addresses.h"

#include <gtest/gtest.h>

namespace tallyhawk
{
namespace
{

TEST(SiteAddresses, EveryAddressOfTheTable)
{
    const std::string base = "http://site.test";
    EXPECT_EQ(RedirectPageUrl(base, 2, 1234), "http://site.test/redir.aspx?srcType=2&srcId=1234");
    EXPECT_EQ(CouponPageUrl(base, 5), "http://site.test/coupon.aspx?srcId=5");
    EXPECT_EQ(DealPageUrl(base, 6), "http://site.test/deal.aspx?srcId=6");
    EXPECT_EQ(MessagesPageUrl(base, 3, 77), "http://site.test/messages.aspx?srcType=3&srcId=77");
    EXPECT_EQ(CashBackStoresUrl(base), "http://site.test/cbstores.aspx");
    EXPECT_EQ(DownloadPageUrl(base), "http://site.test/download.aspx");
    EXPECT_EQ(WebSpiderConfigUrl(base), "http://site.test/webspider.xml");
    EXPECT_EQ(StoresUpdateUrl(base, 4000), "http://site.test/stores.aspx?idx=4000&user=Tallyhawk");
    EXPECT_EQ(CategoriesUpdateUrl(base, 0), "http://site.test/categories.aspx?idx=0&user=Tallyhawk");
    EXPECT_EQ(SiteRootUrl(base), "http://site.test");
    EXPECT_EQ(SiteRootUrl(base, true), "http://site.test/");
}

TEST(SiteAddresses, ItemPageByKind)
{
    EXPECT_EQ(ItemPageUrl("http://s", 1, 9), "http://s/coupon.aspx?srcId=9");
    EXPECT_EQ(ItemPageUrl("http://s", 2, 9), "http://s/deal.aspx?srcId=9");
    EXPECT_EQ(ItemPageUrl("http://s", 3, 9), "http://s/deal.aspx?srcId=9");
    EXPECT_EQ(ItemPageUrl("http://s", 99, 9), "http://s/deal.aspx?srcId=9");
}

TEST(SiteAddresses, SignedNumbersAndTrailingSlashes)
{
    EXPECT_EQ(RedirectPageUrl("http://127.0.0.1:8080/", -1, -2147483647 - 1),
              "http://127.0.0.1:8080/redir.aspx?srcType=-1&srcId=-2147483648");
    EXPECT_EQ(SiteRootUrl("http://s//", false), "http://s");
    EXPECT_EQ(SiteRootUrl("http://s//", true), "http://s/");
}

} // namespace
} // namespace tallyhawk
