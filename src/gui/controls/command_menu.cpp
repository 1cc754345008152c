#include "gui/controls/command_menu.h"

#include <QMenu>

namespace tallyhawk
{

void FillMenu(QMenu& menu, const QList<QAction*>& actions)
{
    menu.clear();
    for (QAction* action : actions) {
        if (action == nullptr) {
            menu.addSeparator();
        } else {
            menu.addAction(action);
        }
    }
}

} // namespace tallyhawk
