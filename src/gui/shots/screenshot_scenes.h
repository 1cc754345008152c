#pragma once

#include <QString>

class QWidget;

namespace tallyhawk
{

class MainWindow;

// What `scripts/screenshots` pictures: a folder of the main window, a dialog, a popup stack.
struct ScreenshotScene
{
    // The widget to picture; none for an unknown name.
    QWidget* widget = nullptr;
    // Picture the whole screen instead (popups over the desktop).
    bool wholeScreen = false;
    // A popup (an open menu) pictured over the widget where it stands.
    QWidget* overlay = nullptr;
};

// Puts the scene `name` on screen over the started main window ("" or "main": the window as it
// started). The scene's windows belong to `window`.
ScreenshotScene SetUpScreenshotScene(const QString& name, MainWindow& window);

// Waits (the events turning) until the window shows its newest load, so a scene can read its rows.
void WaitForView(MainWindow& window);

} // namespace tallyhawk
