#pragma once

#include <QIcon>

namespace tallyhawk
{

// The icon of a freedesktop name: the desktop theme's where it has one, else ours from the bundled set
// (":/tallyhawk/icons/NAME.svg"), so a desktop without a theme (Xvfb, a bare window manager) still
// shows every command's icon. The toolbar, the menus, the tree and the pickers all take theirs here.
QIcon ThemeIcon(const char* name);

// Ours alone, whatever the theme has: the marks of the program itself.
QIcon BundledIcon(const char* name);

} // namespace tallyhawk
