#include "gui/controls/system_colors.h"

#include <algorithm>
#include <cmath>

namespace tallyhawk
{
namespace
{

// How much of the highlight colour tints a highlighted row: pale enough that every text colour of a
// row reads on it as on the window background.
constexpr double kHighlightTint = 0.3;
// How much of the text colour the store names keep over the background.
constexpr double kShadowShare = 0.8;
// How far a chosen button's face stands from the others': far enough that a caption reads on it in
// black or white.
constexpr double kChosenContrast = 6.0;

double Linear(double channel)
{
    return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

} // namespace

SystemColors::SystemColors(const QPalette& palette, QPalette::ColorGroup group)
    : window_(palette.color(group, QPalette::Base).rgb())
    , highlight_(palette.color(group, QPalette::Highlight).rgb())
{
    gradientInactiveCaption_ = Mix(highlight_, window_, kHighlightTint);
    const auto readable = [this](const QColor& color) {
        return Readable(color, window_, gradientInactiveCaption_, kMinimumContrast);
    };
    windowText_ = readable(palette.color(group, QPalette::Text));
    hotLight_ = readable(palette.color(group, QPalette::Link));
    darkShadow_ = readable(Mix(windowText_, window_, kShadowShare));
    red_ = readable(QColor(255, 0, 0));
}

double SystemColors::Luminance(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) + 0.0722 * Linear(rgb.blueF());
}

double SystemColors::Contrast(const QColor& a, const QColor& b)
{
    const double first = Luminance(a) + 0.05;
    const double second = Luminance(b) + 0.05;
    return std::max(first, second) / std::min(first, second);
}

QColor SystemColors::Readable(const QColor& color, const QColor& first, const QColor& second, double ratio)
{
    const auto enough = [&](const QColor& candidate) {
        return Contrast(candidate, first) >= ratio && Contrast(candidate, second) >= ratio;
    };
    if (enough(color)) {
        return QColor(color.rgb());
    }
    // Darker when the backgrounds leave more room below them, lighter otherwise.
    const QColor black(0, 0, 0);
    const QColor white(255, 255, 255);
    const double belowRoom = std::min(Contrast(black, first), Contrast(black, second));
    const double aboveRoom = std::min(Contrast(white, first), Contrast(white, second));
    const int step = belowRoom >= aboveRoom ? -1 : 1;
    const QColor hsl = color.toHsl();
    const int hue = std::max(hsl.hslHue(), 0);
    const int saturation = hsl.hslSaturation();
    for (int lightness = hsl.lightness() + step; lightness >= 0 && lightness <= 255; lightness += step) {
        // Eight bits a channel, as the colour will be drawn.
        const QColor candidate(QColor::fromHsl(hue, saturation, lightness).rgb());
        if (enough(candidate)) {
            return candidate;
        }
    }
    return step < 0 ? black : white;
}

QColor SystemColors::Mix(const QColor& top, const QColor& bottom, double amount)
{
    const QColor a = top.toRgb();
    const QColor b = bottom.toRgb();
    const auto channel = [amount](int x, int y) {
        return static_cast<int>(std::lround(x * amount + y * (1.0 - amount)));
    };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()), channel(a.blue(), b.blue()));
}

QPalette SystemColors::Chosen(const QPalette& palette)
{
    QPalette chosen;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        const QColor button = palette.color(group, QPalette::Button);
        // Margins over the contrasts asked: the styles draw a button's face a little lighter or darker
        // than its colour, and a face far from the others' leaves room for a readable caption.
        const QColor face
            = Readable(palette.color(group, QPalette::Highlight), button, button, kChosenContrast);
        chosen.setColor(group, QPalette::Button, face);
        chosen.setColor(group,
                        QPalette::ButtonText,
                        Readable(palette.color(group, QPalette::HighlightedText),
                                 face.lighter(115),
                                 face.darker(115),
                                 kMinimumContrast));
    }
    return chosen;
}

QPalette SystemColors::Outlined(const QPalette& palette)
{
    QPalette outlined;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        const QColor base = palette.color(group, QPalette::Base);
        const QColor window = palette.color(group, QPalette::Window);
        // How the styles draw the outline: the window colour darkened.
        const auto outlineOf = [](const QColor& from) {
            return from.darker(140).lighter(110);
        };
        if (Contrast(outlineOf(window), base) >= kControlContrast) {
            continue;
        }
        const QColor wanted = Readable(
            Mix(palette.color(group, QPalette::Text), base, 0.6), base, base, kControlContrast + 0.5);
        outlined.setColor(group, QPalette::Window, wanted.lighter(140));
    }
    return outlined;
}

QPalette SystemColors::Darkened(const QPalette& palette)
{
    QPalette dark = palette;
    for (int group = 0; group < QPalette::NColorGroups; ++group) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto colorGroup = static_cast<QPalette::ColorGroup>(group);
            const auto colorRole = static_cast<QPalette::ColorRole>(role);
            const QColor color = palette.color(colorGroup, colorRole);
            dark.setColor(colorGroup,
                          colorRole,
                          QColor::fromHsl(color.hslHue(), color.hslSaturation(), 255 - color.lightness()));
        }
    }
    return dark;
}

} // namespace tallyhawk
