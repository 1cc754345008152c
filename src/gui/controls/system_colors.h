#pragma once

#include <QColor>
#include <QPalette>

namespace tallyhawk
{

// The Windows system colours that the drawn rows and popups name, taken from a Qt palette so a dark
// desktop theme stays readable. The colours that carry meaning (the red of prices and hot items, the
// link colour of unread titles) are moved in lightness, keeping their hue, until they stand out from
// both the window background and the highlighted background by at least kMinimumContrast.
class SystemColors
{
public:
    // The contrast ratio of normal text in the accessibility guidelines.
    static constexpr double kMinimumContrast = 4.5;

    explicit SystemColors(const QPalette& palette, QPalette::ColorGroup group = QPalette::Active);

    // COLOR_WINDOW: a row's background.
    QColor window() const { return window_; }
    // COLOR_WINDOWTEXT: a row's text.
    QColor windowText() const { return windowText_; }
    // COLOR_HOTLIGHT: the title of an unread item.
    QColor hotLight() const { return hotLight_; }
    // COLOR_3DDKSHADOW: store and site names, a little softer than the text.
    QColor darkShadow() const { return darkShadow_; }
    // COLOR_GRADIENTINACTIVECAPTION: a highlighted row's pale background, and the other rows' lines.
    QColor gradientInactiveCaption() const { return gradientInactiveCaption_; }
    // COLOR_HIGHLIGHT: a highlighted row's lines.
    QColor highlight() const { return highlight_; }
    // The red of prices, notes and hot items.
    QColor red() const { return red_; }

    // Relative luminance and contrast ratio as the accessibility guidelines define them.
    static double Luminance(const QColor& color);
    static double Contrast(const QColor& a, const QColor& b);
    // `color`, or the nearest colour of its hue that has at least `ratio` contrast to both backgrounds.
    static QColor Readable(const QColor& color, const QColor& first, const QColor& second, double ratio);
    // `amount` (0 to 1) of `top` over `bottom`.
    static QColor Mix(const QColor& top, const QColor& bottom, double amount);

    // The contrast the accessibility guidelines ask of a control's outline and of its states.
    static constexpr double kControlContrast = 3.0;
    // The roles that set a chosen toggle button apart from the others (its face in the highlight
    // colour, text readable on it), to be set on the button alone; only these roles are set.
    static QPalette Chosen(const QPalette& palette);
    // The roles that keep a check box's outline visible on the `Base` background it stands on (the
    // styles draw it from the window colour, darkened, which vanishes on a dark base); none set when
    // the palette's own outline is clear already.
    static QPalette Outlined(const QPalette& palette);
    // The palette with every colour's lightness turned round: a dark look made from the desktop's own
    // colours.
    static QPalette Darkened(const QPalette& palette);

private:
    QColor window_;
    QColor windowText_;
    QColor hotLight_;
    QColor darkShadow_;
    QColor gradientInactiveCaption_;
    QColor highlight_;
    QColor red_;
};

} // namespace tallyhawk
