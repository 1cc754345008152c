#include "gui/app/folder_pane.h"
#include "gui/app/summary_page.h"
#include "gui/controls/system_colors.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tallyhawk
{
namespace
{

// The desktop's own palette and the dark one made from it, as the screenshots show both.
struct Look
{
    const char* name;
    bool dark;
};
constexpr Look kLooks[] = {{"light", false}, {"dark", true}};

QPalette PaletteOf(const Look& look)
{
    const QPalette light = QApplication::palette();
    return look.dark ? SystemColors::Darkened(light) : light;
}

// The face of a button: the middle colour by luminance inside its frame, where the caption's pixels
// are few.
QColor Face(const QImage& image)
{
    std::vector<QColor> pixels;
    for (int y = 4; y < image.height() - 4; ++y) {
        for (int x = 4; x < image.width() - 4; ++x) {
            pixels.emplace_back(image.pixel(x, y));
        }
    }
    if (pixels.empty()) {
        return {};
    }
    const auto middle = pixels.begin() + static_cast<std::ptrdiff_t>(pixels.size() / 2);
    std::nth_element(pixels.begin(), middle, pixels.end(), [](const QColor& a, const QColor& b) {
        return SystemColors::Luminance(a) < SystemColors::Luminance(b);
    });
    return *middle;
}

// The strongest contrast of any pixel of `image` to `background`: what stands out from it.
double BestContrast(const QImage& image, const QColor& background)
{
    double best = 1.0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            best = std::max(best, SystemColors::Contrast(QColor(image.pixel(x, y)), background));
        }
    }
    return best;
}

TEST(DarkPaletteTest, TheOpenFoldersButtonStandsOutFromTheOthers)
{
    for (const Look& look : kLooks) {
        SCOPED_TRACE(look.name);
        FolderPane pane;
        pane.setPalette(PaletteOf(look));
        pane.resize(240, 480);
        pane.button(FolderKind::CouponsAndDeals)->setChecked(true);
        pane.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));

        const QImage chosen = pane.button(FolderKind::CouponsAndDeals)->grab().toImage();
        const QImage other = pane.button(FolderKind::ShoppingList)->grab().toImage();
        const QColor chosenFace = Face(chosen);
        EXPECT_GE(SystemColors::Contrast(chosenFace, Face(other)), SystemColors::kControlContrast)
            << chosenFace.name().toStdString() << " against " << Face(other).name().toStdString();
        EXPECT_GE(BestContrast(chosen, chosenFace), SystemColors::kMinimumContrast)
            << "its caption on " << chosenFace.name().toStdString();
    }
}

TEST(DarkPaletteTest, TheStartUpCheckBoxIsOutlinedOnTheSummaryPage)
{
    for (const Look& look : kLooks) {
        SCOPED_TRACE(look.name);
        SummaryPage page([](const std::string&) {});
        page.setPalette(PaletteOf(look));
        page.resize(800, 600);
        page.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));

        const QCheckBox* box = page.startInDeals();
        const QRect area(box->mapTo(&page, QPoint(0, 0)), box->size());
        const QImage picture = page.grab(area).toImage();
        const QColor base = page.palette().color(QPalette::Base);
        EXPECT_GE(BestContrast(picture, base), SystemColors::kControlContrast) << "unchecked";
    }
}

} // namespace
} // namespace tallyhawk
