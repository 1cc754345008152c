#pragma once

#include "gui/shots/screenshot_scenes.h"

#include <QString>

namespace tallyhawk
{

class MainWindow;

// The scenes of the window's frame: each menu of the menu bar open ("menu-file" ... "menu-help"), the
// time filter's menu ("menu-time-filter") and the toolbar's overflow menu in a narrow window
// ("menu-overflow"). No widget for another name.
ScreenshotScene SetUpShellScene(const QString& name, MainWindow& window);

} // namespace tallyhawk
