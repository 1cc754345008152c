#include "core/common/item_kind.h"
#include "core/store/item_record.h"
#include "core/store/item_text.h"
#include "support/scoped_zone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace tallyhawk
{
namespace
{

TEST(ItemText, DatesInLocalTime)
{
    ScopedZone zone(kEasternZone);
    EXPECT_EQ(FormatItemDate(1107172800), "Mon 1/31/2005"); // 2005-01-31 12:00 UTC
    EXPECT_EQ(FormatItemDate(1107140400), "Sun 1/30/2005"); // 03:00 UTC is still the evening before
    EXPECT_EQ(FormatItemDate(1136091600), "Sun 1/1/2006"); // midnight local
}

TEST(ItemText, SecondLineOfARow)
{
    ScopedZone zone(kEasternZone);
    ItemValues values;
    values.kind = KindNumber(ItemKind::Coupon);
    values.description = "Half off";
    values.date = 1107172800;
    ItemRecord coupon = ItemRecord::Make(values, 0);
    EXPECT_EQ(ItemSecondLine(coupon), "Half off Expires: Mon 1/31/2005");
    coupon.date = 0;
    EXPECT_EQ(ItemSecondLine(coupon), "Half off Expires: unknown");
    coupon.kind = KindNumber(ItemKind::Topic);
    EXPECT_EQ(ItemSecondLine(coupon), "Half off Posted: unknown");
    coupon.kind = KindNumber(ItemKind::Deal);
    coupon.date = -7;
    EXPECT_EQ(ItemSecondLine(coupon), "Half off Expires: unknown");
    coupon.kind = KindNumber(ItemKind::ProgramNotice);
    EXPECT_EQ(ItemDateWord(coupon.kind), "Posted");
}

} // namespace
} // namespace tallyhawk
