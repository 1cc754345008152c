#pragma once

#include <QIcon>

namespace tallyhawk
{

// The program's icon for the window and the tray: the desktop theme's "tallyhawk" when it has one,
// else our own mark compiled into the program.
QIcon AppIcon();

// The compiled-in mark alone (never the theme's).
QIcon BuiltInAppIcon();

} // namespace tallyhawk
