#pragma once

#include <QPalette>
#include <QString>

class QWidget;

namespace tallyhawk
{

// What `scripts/screenshots` asks of tallyhawk-shots: save a picture of the window once it has been
// laid out and painted, then end.
class ScreenshotRun
{
public:
    // Saves `widget` (or the whole screen) to `path` (PNG) shortly after the event loop starts, then
    // quits with 0, or 1 when the file could not be written. A visible `overlay` (an open menu) is
    // pictured over the widget where it stands.
    static void Schedule(QWidget& widget, bool wholeScreen, const QString& path, QWidget* overlay = nullptr);
    // The palette with every colour's lightness turned round: a dark look made from the desktop's own
    // colours, to check that the window reads well on a dark palette.
    static QPalette Darkened(const QPalette& palette);
};

} // namespace tallyhawk
