#include "alert_test_records.h"
#include "gui/alerts/alert_placement.h"
#include "gui/alerts/alert_texts.h"
#include "gui/alerts/text_elision.h"
#include "gui/controls/system_colors.h"

#include <QApplication>
#include <QFontMetrics>

#include <gtest/gtest.h>

namespace tallyhawk
{
namespace
{

TEST(AlertPlacementTest, FollowsTheStackingRuleToTheTopOfTheArea)
{
    const QRect screen(0, 0, 1024, 768);
    const QSize popup(400, 40);
    EXPECT_EQ(PlaceAlert(screen, popup, 1).topLeft, QPoint(1024 - 400 - 5, 768 - 39 - 30));
    EXPECT_EQ(PlaceAlert(screen, popup, 2).topLeft, QPoint(619, 768 - 78 - 30));
    EXPECT_EQ(PlaceAlert(screen, popup, 1).maxAlerts, 768 / 40 - 1);
    // 18 * 39 + 30 = 732 leaves 36; 19 * 39 + 30 = 771 leaves none: the top edge.
    EXPECT_EQ(PlaceAlert(screen, popup, 18).topLeft.y(), 36);
    EXPECT_EQ(PlaceAlert(screen, popup, 19).topLeft.y(), 0);
    EXPECT_EQ(PlaceAlert(screen, popup, 1'000'000'000).topLeft.y(), 0);
    // A second screen to the right of the first.
    EXPECT_EQ(PlaceAlert(QRect(1024, 0, 800, 600), popup, 1).topLeft, QPoint(1024 + 800 - 405, 600 - 69));
    // Without a screen.
    EXPECT_EQ(PlaceAlert(QRect(), popup, 1).topLeft, QPoint(0, 0));
    EXPECT_EQ(PlaceAlert(QRect(), popup, 1).maxAlerts, 1);
}

TEST(AlertTextsTest, ShowsBytesThatAreNotUtf8AsWindows1252AndMarksHotItems)
{
    const AlertTexts texts
        = MakeAlertTexts(*test::AlertRecord(3, 2, "Caf\xE9 deal", 2, "\x80 5", "Bistro"), "http://x.test/");
    EXPECT_EQ(texts.link, QStringLiteral("Bistro - Caf\u00E9 deal"));
    EXPECT_EQ(texts.extra, QStringLiteral("\u20AC 5"));
    EXPECT_EQ(texts.address, "http://x.test/redir.aspx?srcType=2&srcId=3");
    EXPECT_TRUE(texts.hot);
    EXPECT_FALSE(MakeAlertTexts(*test::AlertRecord(3, 2, "t", 0), "http://x.test").hot);
    EXPECT_FALSE(MakeAlertTexts(*test::AlertRecord(3, 2, "t", -1), "http://x.test").hot);
}

TEST(TextElisionTest, CutsAtAWordAndWrapsIntoItsLines)
{
    const QFont font = QApplication::font();
    const QFontMetrics metrics(font);
    const QString text = QStringLiteral("Save more on every order");
    EXPECT_EQ(ElideAtWord(text, font, metrics.horizontalAdvance(text)), text);
    const int width = metrics.horizontalAdvance(QStringLiteral("Save more on\u2026"));
    EXPECT_EQ(ElideAtWord(text, font, width), QStringLiteral("Save more on\u2026"));
    const QString cut = ElideAtWord(
        QStringLiteral("Supercalifragilistic"), font, metrics.horizontalAdvance(QStringLiteral("Superca")));
    EXPECT_TRUE(cut.endsWith(QStringLiteral("\u2026")));
    EXPECT_LE(metrics.horizontalAdvance(cut), metrics.horizontalAdvance(QStringLiteral("Superca")));

    const QString long_ = QStringLiteral("one two three four five six seven eight nine ten eleven twelve");
    const int lineWidth = metrics.horizontalAdvance(QStringLiteral("one two three four"));
    const QStringList lines = ElideToLines(long_, font, lineWidth, 2).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("one two")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\u2026")));
    for (const QString& line : lines) {
        EXPECT_LE(metrics.horizontalAdvance(line), lineWidth);
    }
    EXPECT_EQ(ElideToLines(QStringLiteral("short\ntext"), font, lineWidth, 2), QStringLiteral("short text"));
    EXPECT_EQ(ElideToLines(long_, font, lineWidth, 0), QString());
}

TEST(ReadableColorTest, KeepsAReadableColourAndMovesAnUnreadableOneJustEnough)
{
    EXPECT_NEAR(SystemColors::Contrast(Qt::black, Qt::white), 21.0, 0.01);
    EXPECT_NEAR(SystemColors::Contrast(Qt::white, Qt::white), 1.0, 0.01);
    const QColor navy(0, 0, 128);
    const auto readable = [](const QColor& color, const QColor& background) {
        return SystemColors::Readable(color, background, background, SystemColors::kMinimumContrast);
    };
    EXPECT_EQ(readable(navy, Qt::white), navy);
    const QColor onDark = readable(navy, QColor(30, 30, 30));
    EXPECT_GE(SystemColors::Contrast(onDark, QColor(30, 30, 30)), 4.5);
    EXPECT_GT(onDark.blue(), onDark.red());
    const QColor whiteOnLight = readable(Qt::white, QColor(239, 239, 239));
    EXPECT_GE(SystemColors::Contrast(whiteOnLight, QColor(239, 239, 239)), 4.5);
}

} // namespace
} // namespace tallyhawk
