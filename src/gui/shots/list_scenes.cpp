#include "gui/shots/list_scenes.h"

#include "core/update/pass_runner.h"
#include "gui/app/main_window.h"
#include "gui/shots/screenshot_scenes.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QThread>
#include <QTreeView>

namespace tallyhawk
{

bool SetUpListScene(const QString& name, MainWindow& window)
{
    if (name != QStringLiteral("search") && name != QStringLiteral("row-menu")) {
        return false;
    }
    window.resize(1000, 640);
    window.ShowFolder(FolderKind::CouponsAndDeals);
    WaitForView(window);
    if (name == QStringLiteral("search")) {
        // What a user types, as the field sends it: a word most demo deals hold in part.
        auto* field = window.findChild<QLineEdit*>(QStringLiteral("searchField"));
        field->setFocus();
        field->setText(QStringLiteral("off"));
        window.ApplySearch(field->text());
        WaitForView(window);
        return true;
    }
    // The start's pass may still bring items that move the rows; the menu opens over rows that stay.
    QDeadlineTimer deadline(10000);
    while ((window.passes() == nullptr || window.passes()->running() || window.busy())
           && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    // The rows the pass stored, which it hands to the window through its events.
    QCoreApplication::processEvents();
    WaitForView(window);
    // A right click on the second row, as the window system sends it.
    auto* list = window.findChild<QTreeView*>(QStringLiteral("itemList"));
    const QModelIndex row = list->model()->index(1, 0);
    if (!row.isValid()) {
        return true;
    }
    const QPoint pos = list->visualRect(row).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, list->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(list->viewport(), &event);
    return true;
}

} // namespace tallyhawk
