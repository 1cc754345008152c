#pragma once

#include <QList>

class QAction;
class QMenu;

namespace tallyhawk
{

// Fills `menu` with the window's named commands, in order; a null entry stands for a separator. The
// commands keep their own captions, shortcuts and enabled states, so a menu shows them as they stand.
void FillMenu(QMenu& menu, const QList<QAction*>& actions);

} // namespace tallyhawk
