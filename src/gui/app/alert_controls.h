#pragma once

#include "core/store/alert_memory.h"
#include "core/store/item_record.h"
#include "core/update/alert_commands.h"
#include "gui/alerts/alert_actions.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>

class QAction;
class QTimer;
class QWidget;

namespace tallyhawk
{

class TrayController;

// The user's say over alerts in the main window: "Mute Store" and "Mute Category" for the chosen row
// (named actions, for the row's menu), the tray's "Pause alerts for 1 hour" and "Resume alerts", and
// what popups offer besides their link. The alert memory is written on the folders' worker, never on
// the window thread; the status bar tells what was done.
class AlertControls : public QObject
{
    Q_OBJECT

public:
    struct Window
    {
        // Runs `work` on the folders' worker, then `done` with its result on the window thread; the
        // view neither waits for it nor loads again after it.
        std::function<void(std::function<int()> work, std::function<void(int result)> done)> write;
        // The item of the chosen row; nothing without one, or in a folder of other rows.
        std::function<std::optional<ItemRecord>()> chosenItem;
        // The product editor filled in from a deal.
        std::function<void(const ItemRecord& deal)> addToShoppingList;
        // Shows the window on the Coupons & Deals folder.
        std::function<void()> openDealsFolder;
        // A line for the status bar.
        std::function<void(const QString& text)> tell;
    };

    // Adds the two row actions to `window` and takes over the tray's pause and resume.
    AlertControls(QWidget& window, TrayController& tray, AlertCommands commands, Window hooks);

    QAction* muteStore() const { return muteStore_; }
    QAction* muteCategory() const { return muteCategory_; }
    // Follows the chosen row: the mute actions are on for an item with a store (category) name.
    void RowChanged();
    // What alerts offer: add to the Shopping List, mute the store, snooze, open the deals folder.
    AlertActions Actions();

    void Mute(AlertMemory::Muted what, const std::string& name);
    void Pause();
    void Resume();

private:
    void ShowPaused(bool paused);

    TrayController& tray_;
    AlertCommands commands_;
    Window hooks_;
    QAction* muteStore_;
    QAction* muteCategory_;
    // Turns the tray back to "Pause alerts for 1 hour" when the pause runs out.
    QTimer* pauseEnd_;
};

} // namespace tallyhawk
