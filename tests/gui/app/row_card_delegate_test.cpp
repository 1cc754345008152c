#include "core/common/time_span.h"
#include "core/compare/result_list.h"
#include "core/shopping/shopping_record.h"
#include "core/store/item_record.h"
#include "gui/app/row_card_delegate.h"
#include "gui/controls/system_colors.h"
#include "gui/views/item_list_model.h"
#include "gui/views/list_rows.h"

#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QStyleOptionViewItem>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk
{
namespace
{

constexpr int kCard = RowCardDelegate::kCardColumnWidth;
constexpr int kSide = RowCardDelegate::kSideColumnWidth;
// Where the row is drawn inside a larger picture, to see that nothing lands outside it.
constexpr int kMargin = 10;
const QColor kUntouched(255, 0, 255);

QFont ListFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    return font;
}

QPalette LightPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Link, QColor(0, 102, 204));
    palette.setColor(QPalette::Highlight, QColor(48, 140, 198));
    return palette;
}

// A dark theme whose link colour alone reads poorly on its background (about 3.9:1).
QPalette DarkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(30, 30, 30));
    palette.setColor(QPalette::Text, QColor(220, 220, 220));
    palette.setColor(QPalette::Link, QColor(42, 130, 218));
    palette.setColor(QPalette::Highlight, QColor(42, 130, 218));
    return palette;
}

ItemRecord Item(std::int32_t kind, const char* title, std::int16_t read = 0, std::int16_t hot = 0)
{
    ItemValues values;
    values.id = 1;
    values.kind = kind;
    values.title = title;
    values.description = "Two for one on garden tools";
    values.extra = "$5 off";
    values.storeName = "Corner Shop";
    values.categoryName = "Garden";
    values.date = *LocalTime(2026, 1, 31, 12, 0, 0);
    ItemRecord record = ItemRecord::Make(values, 1000);
    record.read = read;
    record.hot = hot;
    return record;
}

// One row of both columns, drawn as the list draws it, at (kMargin, kMargin) in a picture filled
// with kUntouched.
class Row
{
public:
    Row(ListRows rows, const QPalette& palette, bool selected = false, int cardWidth = kCard)
        : cardWidth_(cardWidth)
    {
        model_.Reset(std::move(rows));
        height_ = RowCardDelegate::RowHeight(ListFont());
        image_ = QImage(kMargin * 2 + cardWidth + kSide, kMargin * 2 + height_, QImage::Format_RGB32);
        image_.fill(kUntouched);
        QPainter painter(&image_);
        RowCardDelegate delegate;
        for (int column = 0; column < 2; ++column) {
            QStyleOptionViewItem option;
            option.font = ListFont();
            option.palette = palette;
            option.state = QStyle::State_Enabled | (selected ? QStyle::State_Selected : QStyle::State_None);
            option.rect = column == 0 ? QRect(kMargin, kMargin, cardWidth, height_)
                                      : QRect(kMargin + cardWidth, kMargin, kSide, height_);
            option.viewItemPosition
                = column == 0 ? QStyleOptionViewItem::Beginning : QStyleOptionViewItem::End;
            delegate.paint(&painter, option, model_.index(0, column));
        }
    }

    const QImage& image() const { return image_; }
    int height() const { return height_; }
    QColor At(int x, int y) const { return image_.pixelColor(kMargin + x, kMargin + y); }

    // The box (row coordinates) of the pixels in `area` that are not `background`.
    QRect Ink(const QRect& area, const QColor& background) const
    {
        QRect ink;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (At(x, y) != background) {
                    ink |= QRect(x, y, 1, 1);
                }
            }
        }
        return ink;
    }

    // The box of the pixels in `area` close to `color`.
    QRect InkOf(const QRect& area, const QColor& color) const
    {
        QRect ink;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor pixel = At(x, y);
                if (std::abs(pixel.red() - color.red()) + std::abs(pixel.green() - color.green())
                        + std::abs(pixel.blue() - color.blue())
                    < 24) {
                    ink |= QRect(x, y, 1, 1);
                }
            }
        }
        return ink;
    }

    // The highest contrast of a pixel in `area` against `background`: the text's full colour.
    double BestContrast(const QRect& area, const QColor& background) const
    {
        double best = 1.0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                best = std::max(best, SystemColors::Contrast(At(x, y), background));
            }
        }
        return best;
    }

    // Nothing was drawn outside the row.
    bool StaysInside() const
    {
        for (int y = 0; y < image_.height(); ++y) {
            for (int x = 0; x < image_.width(); ++x) {
                const bool inside = x >= kMargin && x < kMargin + cardWidth_ + kSide && y >= kMargin
                    && y < kMargin + height_;
                if (!inside && image_.pixelColor(x, y) != kUntouched) {
                    return false;
                }
            }
        }
        return true;
    }

    QRect TitleBand() const { return QRect(0, 0, cardWidth_ / 2, height_ / 3); }
    QRect DetailBand() const { return QRect(0, height_ / 3 + 2, cardWidth_, height_ * 2 / 3 - 4); }

private:
    ItemListModel model_;
    int cardWidth_;
    int height_ = 0;
    QImage image_;
};

class RowCardTest : public ::testing::Test
{
protected:
    RowCardTest() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    ~RowCardTest() override { QLocale::setDefault(QLocale::c()); }
};

TEST_F(RowCardTest, ItemCardsSayWhatTheRecordHolds)
{
    ItemRecord noDate = Item(1, "no date");
    noDate.date = 0;
    ItemRecord topic = Item(3, "a topic");
    topic.date = 0;
    ItemListModel model;
    model.Reset(ListRows::FromItems({Item(1, "Garden hose"), Item(2, "A deal"), noDate, topic}));
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.index(0, 0).data().toString(), QStringLiteral("Garden hose"));
    EXPECT_EQ(model.index(0, 0).data(ItemListModel::DetailRole).toString(),
              QStringLiteral("Two for one on garden tools\nExpires: Sat 1/31/2026"));
    EXPECT_EQ(model.index(0, 0).data(ItemListModel::CornerRole).toString(), QStringLiteral("$5 off"));
    EXPECT_EQ(model.index(0, 1).data().toString(), QStringLiteral("Corner Shop"));
    EXPECT_EQ(model.index(0, 1).data(ItemListModel::DetailRole).toString(),
              QStringLiteral("Category: Garden"));
    EXPECT_EQ(model.index(1, 0).data(ItemListModel::DetailRole).toString(),
              QStringLiteral("Two for one on garden tools\nExpires: Sat 1/31/2026"));
    EXPECT_EQ(model.index(2, 0).data(ItemListModel::DetailRole).toString(),
              QStringLiteral("Two for one on garden tools\nExpires: unknown"));
    EXPECT_EQ(model.index(3, 0).data(ItemListModel::DetailRole).toString(),
              QStringLiteral("Two for one on garden tools\nPosted: unknown"));
    EXPECT_EQ(model.index(0, 0).data(ItemListModel::RowKindRole).toInt(), static_cast<int>(RowKind::Item));
    EXPECT_EQ(model.index(0, 0).data(Qt::AccessibleTextRole).toString(),
              QStringLiteral("Garden hose, $5 off, Two for one on garden tools, Expires: Sat 1/31/2026"));

    // The day is the local one, in the user's own format.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(model.index(0, 0).data(ItemListModel::DetailRole).toString(),
              QStringLiteral("Two for one on garden tools\nExpires: Sa. 31.01.2026"));
}

TEST_F(RowCardTest, TextsThatAreNotUtf8AreReadAsWindows1252)
{
    ItemRecord item = Item(2, "Caf\xE9 \x80 5");
    item.SetStoreName("Caf\xC3\xA9");
    ItemListModel model;
    model.Reset(ListRows::FromItems({item}));
    EXPECT_EQ(model.index(0, 0).data().toString(), QString::fromUtf8("Café € 5"));
    EXPECT_EQ(model.index(0, 1).data().toString(), QString::fromUtf8("Café"));
}

TEST_F(RowCardTest, OfferCardsShowThePriceOrABlank)
{
    ResultList offers;
    PriceResult offer;
    offer.id = 1;
    offer.name = "Red shoes";
    offer.text = "Leather, size 9";
    offer.siteName = "Shoe Site";
    offer.price = 12.5;
    offers.Insert(offer);
    offer.id = 2;
    offer.price = 0;
    offer.text.reset();
    offers.Insert(offer);
    ItemListModel model;
    model.Reset(ListRows::FromOffers(offers));
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.index(0, 0).data(ItemListModel::CornerRole).toString(), QStringLiteral(" "));
    EXPECT_EQ(model.index(0, 0).data(ItemListModel::DetailRole).toString(), QString());
    EXPECT_EQ(model.index(1, 0).data(ItemListModel::CornerRole).toString(), QStringLiteral("$12.50"));
    EXPECT_EQ(model.index(1, 0).data(ItemListModel::DetailRole).toString(),
              QStringLiteral("Leather, size 9"));
    EXPECT_EQ(model.index(1, 1).data().toString(), QStringLiteral("Shoe Site"));
    EXPECT_EQ(model.index(1, 1).data(ItemListModel::DetailRole).toString(), QString());
    EXPECT_EQ(model.index(1, 0).data(ItemListModel::RowKindRole).toInt(), static_cast<int>(RowKind::Offer));
}

TEST_F(RowCardTest, ShoppingCardsShowQuantityPriceDateAndTheListsNames)
{
    IdNameList stores;
    stores.AddOrCount(7, "Corner Shop", 1);
    IdNameList categories;
    categories.AddOrCount(3, "Food", 1);
    const auto product = [](double quantity, double price, std::int32_t store, std::int32_t start) {
        ShoppingValues values;
        values.name = "Milk";
        values.notes = "semi-skimmed";
        values.quantity = quantity;
        values.pricePerUnit = price;
        values.store.id = store;
        values.category.id = store == 7 ? 3 : 9;
        values.startDate = start;
        return ShoppingRecord::Make(values, 1);
    };
    const std::int32_t day = *LocalTime(2026, 3, 2, 1, 0, 0);
    ShoppingRecord dueLater = product(0, 0, 7, 0);
    dueLater.nextDue = day;
    ItemListModel model;
    model.Reset(ListRows::FromShopping(
        {product(2, 3.5, 7, day), product(0, 3.5, 99, 0), product(2, 0, 7, 0), dueLater},
        stores,
        categories));
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.index(0, 0).data(ItemListModel::CornerRole).toString(), QStringLiteral("(2.00) x $3.50"));
    EXPECT_EQ(model.index(1, 0).data(ItemListModel::CornerRole).toString(), QStringLiteral("$3.50"));
    EXPECT_EQ(model.index(2, 0).data(ItemListModel::CornerRole).toString(), QStringLiteral("(2.00)"));
    EXPECT_EQ(model.index(3, 0).data(ItemListModel::CornerRole).toString(), QString());
    EXPECT_EQ(model.index(0, 0).data(ItemListModel::DetailRole).toString(),
              QStringLiteral("semi-skimmed\nDate: Mon 3/2/2026"));
    EXPECT_EQ(model.index(1, 0).data(ItemListModel::DetailRole).toString(),
              QStringLiteral("semi-skimmed\nDate: unknown"));
    EXPECT_EQ(model.index(3, 0).data(ItemListModel::DetailRole).toString(),
              QStringLiteral("semi-skimmed\nDate: Mon 3/2/2026"));
    EXPECT_EQ(model.index(0, 1).data().toString(), QStringLiteral("Corner Shop"));
    EXPECT_EQ(model.index(0, 1).data(ItemListModel::DetailRole).toString(), QStringLiteral("Category: Food"));
    EXPECT_EQ(model.index(1, 1).data().toString(), QStringLiteral("Any Store"));
    EXPECT_EQ(model.index(1, 1).data(ItemListModel::DetailRole).toString(),
              QStringLiteral("Category: Any Category"));
    EXPECT_EQ(model.index(0, 0).data(ItemListModel::RowKindRole).toInt(),
              static_cast<int>(RowKind::Shopping));
}

TEST_F(RowCardTest, ARecurringProductsCardSaysHowItRepeats)
{
    const std::int32_t day = *LocalTime(2026, 3, 2, 1, 0, 0);
    const struct
    {
        std::uint16_t type;
        std::uint16_t interval;
        std::int16_t dayValue;
        const char* detail;
    } cases[] = {
        {1, 0, 0, "Date: Mon 3/2/2026"},
        {2, 0, 3, "Date: Mon 3/2/2026 \u00b7 Repeats: Every 3 Days"},
        {3, 2, 0, "Date: Mon 3/2/2026 \u00b7 Repeats: Every 2 Weeks on Sunday"},
        {4, 1, 15, "Date: Mon 3/2/2026 \u00b7 Repeats: Every Month on day 15"},
    };
    for (const auto& expected : cases) {
        ShoppingValues values;
        values.name = "Milk";
        values.purchaseType = expected.type;
        values.interval = expected.interval;
        values.dayValue = expected.dayValue;
        values.startDate = day;
        ItemListModel model;
        model.Reset(ListRows::FromShopping({ShoppingRecord::Make(values, 1)}, {}, {}));
        EXPECT_EQ(model.index(0, 0).data(ItemListModel::DetailRole).toString(),
                  QString::fromUtf8(expected.detail));
    }
}

TEST_F(RowCardTest, ThePriceIsRedAtTheTopRightOfTheFirstColumn)
{
    const Row row(ListRows::FromItems({Item(2, "Garden hose", 1)}), LightPalette());
    const SystemColors colors(LightPalette());
    EXPECT_GE(SystemColors::Contrast(colors.red(), colors.window()), SystemColors::kMinimumContrast);
    const QRect red = row.InkOf(QRect(0, 0, kCard + kSide, row.height()), colors.red());
    ASSERT_FALSE(red.isEmpty());
    // Right-aligned against the first column's end, on the title's line, and nowhere else.
    EXPECT_GE(red.right(), kCard - 8);
    EXPECT_LT(red.right(), kCard);
    EXPECT_GT(red.left(), kCard / 2);
    EXPECT_LT(red.bottom(), row.height() / 2);
    EXPECT_TRUE(row.StaysInside());
}

TEST_F(RowCardTest, UnreadItemsAreBoldInTheLinkColourAndReadOnesPlain)
{
    const QPalette palette = LightPalette();
    const SystemColors colors(palette);
    const Row unread(ListRows::FromItems({Item(2, "Garden hose reel", 0)}), palette);
    const Row read(ListRows::FromItems({Item(2, "Garden hose reel", 1)}), palette);
    const QRect unreadTitle = unread.Ink(unread.TitleBand(), colors.window());
    const QRect readTitle = read.Ink(read.TitleBand(), colors.window());
    ASSERT_FALSE(unreadTitle.isEmpty());
    ASSERT_FALSE(readTitle.isEmpty());
    EXPECT_GT(unreadTitle.width(), readTitle.width() + 5);
    EXPECT_FALSE(unread.InkOf(unread.TitleBand(), colors.hotLight()).isEmpty());
    EXPECT_TRUE(read.InkOf(read.TitleBand(), colors.hotLight()).isEmpty());
    EXPECT_FALSE(read.InkOf(read.TitleBand(), colors.windowText()).isEmpty());
    // The second lines look alike.
    EXPECT_EQ(unread.Ink(unread.DetailBand(), colors.window()), read.Ink(read.DetailBand(), colors.window()));
}

TEST_F(RowCardTest, HotItemsAreMarkedAndTheirTitleIsRedReadOrNot)
{
    const QPalette palette = LightPalette();
    const SystemColors colors(palette);
    for (std::int16_t read : {0, 1}) {
        const Row hot(ListRows::FromItems({Item(2, "Garden hose", read, 1)}), palette);
        EXPECT_EQ(hot.At(1, hot.height() / 2), colors.red());
        EXPECT_FALSE(hot.InkOf(hot.TitleBand(), colors.red()).isEmpty());
        EXPECT_TRUE(hot.InkOf(hot.TitleBand(), colors.hotLight()).isEmpty());
    }
    const Row plain(ListRows::FromItems({Item(2, "Garden hose", 0, 0)}), palette);
    EXPECT_EQ(plain.At(1, plain.height() / 2), colors.window());
    EXPECT_TRUE(plain.InkOf(plain.TitleBand(), colors.red()).isEmpty());
}

TEST_F(RowCardTest, ADarkPaletteKeepsEveryTextReadable)
{
    const QPalette palette = DarkPalette();
    // The theme's own link colour would not do.
    EXPECT_LT(SystemColors::Contrast(palette.color(QPalette::Link), palette.color(QPalette::Base)), 4.5);
    for (bool selected : {false, true}) {
        const SystemColors colors(palette);
        const QColor background = selected ? colors.gradientInactiveCaption() : colors.window();
        const Row row(ListRows::FromItems({Item(2, "Garden hose reel", 0)}), palette, selected);
        EXPECT_EQ(row.At(kCard / 2, row.height() / 3), background);
        EXPECT_GT(row.BestContrast(row.TitleBand(), background), 4.5);
        EXPECT_GT(row.BestContrast(row.DetailBand(), background), 4.5);
        const QRect red = row.InkOf(QRect(kCard / 2, 0, kCard / 2, row.height() / 2), colors.red());
        ASSERT_FALSE(red.isEmpty());
        EXPECT_GT(row.BestContrast(red, background), 4.5);
        EXPECT_GT(row.BestContrast(QRect(kCard + 2, 0, kSide - 4, row.height() - 2), background), 4.5);
        EXPECT_GT(SystemColors::Contrast(colors.darkShadow(), background), 4.5);
        EXPECT_TRUE(row.StaysInside());
    }
}

TEST_F(RowCardTest, HighlightedRowsArePaleWithAHighlightLineAndTheLastColumnClosesTheFrame)
{
    const QPalette palette = LightPalette();
    const SystemColors colors(palette);
    const Row selected(ListRows::FromItems({Item(2, "Garden hose", 1)}), palette, true);
    const int bottom = selected.height() - 1;
    EXPECT_EQ(selected.At(kCard / 2, selected.height() / 3), colors.gradientInactiveCaption());
    EXPECT_EQ(selected.At(5, bottom), colors.highlight());
    EXPECT_EQ(selected.At(kCard + kSide - 1, 5), colors.highlight());
    // No line between the columns: the card reads as one.
    EXPECT_NE(selected.At(kCard - 1, 5), colors.highlight());

    const Row plain(ListRows::FromItems({Item(2, "Garden hose", 1)}), palette);
    EXPECT_EQ(plain.At(5, bottom), colors.gradientInactiveCaption());
    EXPECT_EQ(plain.At(kCard / 2, plain.height() / 3), colors.window());
}

TEST_F(RowCardTest, LongTextsWrapOnTwoLinesAndNarrowColumnsDrawNothingOutside)
{
    ItemRecord item = Item(2, "A title far too long for a narrow column of the list, and more words");
    item.SetDescription("Every word of this description goes on and on, far past what two lines of the card "
                        "can hold, so the second line has to end in an ellipsis rather than run off the row "
                        "or into the next one below it");
    const QPalette palette = LightPalette();
    const SystemColors colors(palette);
    const Row wide(ListRows::FromItems({item}), palette);
    const QRect detail = wide.Ink(wide.DetailBand(), colors.window());
    const int lineHeight = wide.height() / 3;
    // Two lines of text, the second nearly as wide as the first.
    EXPECT_GT(detail.height(), lineHeight + 4);
    EXPECT_TRUE(wide.StaysInside());
    // A line break in the text starts the second line, even when the text is short.
    item.SetDescription("first\r\nsecond");
    const Row broken(ListRows::FromItems({item}), palette);
    EXPECT_GT(broken.Ink(broken.DetailBand(), colors.window()).height(), lineHeight + 4);
    for (int width : {0, 3, 20, 60}) {
        const Row narrow(ListRows::FromItems({item}), palette, false, width);
        EXPECT_TRUE(narrow.StaysInside()) << width;
    }
}

TEST_F(RowCardTest, EveryKindOfRowDrawsItsCard)
{
    const QPalette palette = LightPalette();
    const SystemColors colors(palette);
    ResultList offers;
    PriceResult offer;
    offer.name = "Red shoes";
    offer.siteName = "Shoe Site";
    offer.price = 12.5;
    offers.Insert(offer);
    ShoppingValues values;
    values.name = "Milk";
    values.quantity = 2;
    values.pricePerUnit = 3.5;
    for (ListRows rows :
         {ListRows::FromOffers(offers), ListRows::FromShopping({ShoppingRecord::Make(values, 1)}, {}, {})}) {
        const Row row(std::move(rows), palette);
        EXPECT_FALSE(row.Ink(row.TitleBand(), colors.window()).isEmpty());
        EXPECT_FALSE(row.InkOf(QRect(kCard / 2, 0, kCard / 2, row.height() / 2), colors.red()).isEmpty());
        EXPECT_FALSE(row.Ink(QRect(kCard + 2, 0, kSide - 4, row.height() / 3), colors.window()).isEmpty());
        EXPECT_TRUE(row.StaysInside());
    }
}

TEST(SystemColorsTest, MeaningfulColoursKeepTheirHueAndReachTheContrast)
{
    for (const QColor& base :
         {QColor(255, 255, 255), QColor(0, 0, 0), QColor(40, 44, 52), QColor(128, 128, 128)}) {
        QPalette palette;
        palette.setColor(QPalette::Base, base);
        palette.setColor(QPalette::Text, QColor(128, 128, 128));
        palette.setColor(QPalette::Link, QColor(0, 0, 255));
        palette.setColor(QPalette::Highlight, QColor(48, 140, 198));
        const SystemColors colors(palette);
        for (const QColor& color :
             {colors.red(), colors.hotLight(), colors.windowText(), colors.darkShadow()}) {
            EXPECT_GE(SystemColors::Contrast(color, colors.window()), 4.5) << base.name().toStdString();
            EXPECT_GE(SystemColors::Contrast(color, colors.gradientInactiveCaption()), 4.5)
                << base.name().toStdString();
        }
        if (colors.red() != QColor(0, 0, 0) && colors.red() != QColor(255, 255, 255)) {
            EXPECT_EQ(colors.red().hslHue(), 0) << base.name().toStdString();
        }
    }
    EXPECT_NEAR(SystemColors::Contrast(Qt::white, Qt::black), 21.0, 1e-9);
    EXPECT_NEAR(SystemColors::Contrast(QColor(255, 0, 0), Qt::white), 4.0, 0.01);
}

} // namespace
} // namespace tallyhawk
