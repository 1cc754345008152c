#include "core/compare/price_result.h"
#include "core/shopping/shopping_record.h"
#include "core/store/id_name_list.h"
#include "core/store/item_record.h"
#include "gui/print/list_print_job.h"
#include "gui/print/row_print_text.h"
#include "support/scoped_zone.h"

#include <gtest/gtest.h>

#include <string>

namespace tallyhawk
{
namespace
{

TEST(RowPrintTextTest, EachKindGivesItsHeadingAndBody)
{
    ItemValues values;
    values.kind = 1;
    values.storeName = "Corner Shop";
    values.title = "Half price & more";
    values.extra = "Ends Friday";
    values.description = "Bread and milk";
    const ItemRecord item = ItemRecord::Make(values, 0);
    const IdNameList noStores;
    RowPrintText texts = RowPrintText::Of(&item, noStores);
    EXPECT_EQ(texts.heading, QStringLiteral("Corner Shop - Half price & more - Ends Friday"));
    EXPECT_EQ(texts.body, QStringLiteral("Bread and milk"));

    PriceResult offer;
    offer.siteName = "Big Store";
    offer.name = "Kettle";
    offer.price = 19.5;
    offer.link = "http://127.0.0.1/kettle";
    texts = RowPrintText::Of(&offer, noStores);
    EXPECT_EQ(texts.heading, QStringLiteral("Big Store - Kettle - 19.50"));
    // An offer without a description still says where it is.
    EXPECT_EQ(texts.body, QStringLiteral(" URL: http://127.0.0.1/kettle"));

    ShoppingValues shopping;
    shopping.name = "Milk";
    shopping.notes = "semi-skimmed";
    shopping.store = {7, "Corner Shop", 1};
    shopping.quantity = 2.5;
    shopping.pricePerUnit = 0.999;
    const ShoppingRecord product = ShoppingRecord::Make(shopping, 4);
    IdNameList stores;
    stores.AddOrCount(7, "Corner Shop", 1);
    texts = RowPrintText::Of(&product, stores);
    EXPECT_EQ(texts.heading, QStringLiteral("Corner Shop - Milk - (2.50) x $1.00"));
    EXPECT_EQ(texts.body, QStringLiteral("semi-skimmed"));
    // A store id the list does not hold prints no name.
    EXPECT_EQ(RowPrintText::Of(&product, noStores).heading, QStringLiteral(" - Milk - (2.50) x $1.00"));
}

TEST(RowPrintTextTest, RowsWithoutARecordAreEmpty)
{
    const IdNameList stores;
    const RowPrintText none = RowPrintText::Of(RowRecord{}, stores);
    EXPECT_TRUE(none.heading.isEmpty());
    EXPECT_TRUE(none.body.isEmpty());
    const RowPrintText null = RowPrintText::Of(static_cast<const ItemRecord*>(nullptr), stores);
    EXPECT_TRUE(null.heading.isEmpty());
}

TEST(RowPrintTextTest, TextsAreCutTo399CharactersAndShownAsTheListShowsThem)
{
    PriceResult offer;
    offer.siteName = std::string(300, 's');
    offer.name = std::string(300, 'n');
    offer.text = std::string(1000, 't');
    offer.link = "http://127.0.0.1/";
    const IdNameList stores;
    RowPrintText texts = RowPrintText::Of(&offer, stores);
    EXPECT_EQ(texts.heading.size(), RowPrintText::kMaxLength);
    EXPECT_EQ(texts.body, QString(399, QLatin1Char('t')));

    // Four bytes of UTF-8, two UTF-16 units each: the cut never leaves half a character.
    std::string faces;
    for (int i = 0; i < 300; ++i) {
        faces += "\xF0\x9F\x98\x80";
    }
    offer.text = faces;
    texts = RowPrintText::Of(&offer, stores);
    EXPECT_EQ(texts.body.size(), 398);
    EXPECT_FALSE(texts.body.back().isHighSurrogate());

    // Bytes that are not UTF-8 are read as Windows-1252.
    offer.siteName = "Caf\xE9";
    offer.name = "Tea";
    offer.price = 3;
    EXPECT_EQ(RowPrintText::Of(&offer, stores).heading, QStringLiteral("Caf\u00E9 - Tea - 3.00"));
}

TEST(RowPrintTextTest, FooterTimeIsTheLocalTimeInIso8601)
{
    // 2024-03-05 14:07:09 UTC is 09:07:09 in New York, which reads no day as a month.
    const ScopedZone zone("EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(ListPrintJob::TimeText(1709647629), QStringLiteral("2024-03-05 09:07:09"));
    EXPECT_EQ(ListPrintJob::TimeText(0), QStringLiteral("1969-12-31 19:00:00"));
}

} // namespace
} // namespace tallyhawk
