#pragma once

#include <QColor>

namespace tallyhawk
{

// The contrast ratio of two colours as WCAG 2 defines it: 1 (none) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

// `wanted`, moved towards black on a light background or towards white on a dark one just far
// enough to reach a contrast of `minimum` with `background`, so a fixed colour that carries meaning
// (the red of a hot item, the link's colours) stays readable under any palette.
QColor ReadableColor(const QColor& wanted, const QColor& background, double minimum = 4.5);

} // namespace tallyhawk
