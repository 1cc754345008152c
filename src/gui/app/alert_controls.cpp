#include "gui/app/alert_controls.h"

#include "gui/app/tray_controller.h"
#include "gui/controls/record_text.h"

#include <QAction>
#include <QTimer>
#include <QWidget>

#include <utility>

namespace tallyhawk
{

namespace
{

QAction* MakeAction(QWidget& window, const char* name, const QString& text)
{
    auto* action = new QAction(text, &window);
    action->setObjectName(QString::fromLatin1(name));
    action->setEnabled(false);
    window.addAction(action);
    return action;
}

} // namespace

AlertControls::AlertControls(QWidget& window, TrayController& tray, AlertCommands commands, Window hooks)
    : QObject(&window)
    , tray_(tray)
    , commands_(std::move(commands))
    , hooks_(std::move(hooks))
    , muteStore_(MakeAction(window, "muteStore", QStringLiteral("Mute Store")))
    , muteCategory_(MakeAction(window, "muteCategory", QStringLiteral("Mute Category")))
    , pauseEnd_(new QTimer(this))
{
    pauseEnd_->setSingleShot(true);
    pauseEnd_->setInterval(AlertCommands::kPauseSeconds * 1000);
    connect(pauseEnd_, &QTimer::timeout, this, [this] { ShowPaused(false); });
    connect(muteStore_, &QAction::triggered, this, [this] {
        if (const std::optional<ItemRecord> item = hooks_.chosenItem ? hooks_.chosenItem() : std::nullopt) {
            Mute(AlertMemory::Muted::Store, std::string(item->storeName()));
        }
    });
    connect(muteCategory_, &QAction::triggered, this, [this] {
        if (const std::optional<ItemRecord> item = hooks_.chosenItem ? hooks_.chosenItem() : std::nullopt) {
            Mute(AlertMemory::Muted::Category, std::string(item->categoryName()));
        }
    });
    connect(&tray_, &TrayController::pauseAlertsRequested, this, &AlertControls::Pause);
    connect(&tray_, &TrayController::resumeAlertsRequested, this, &AlertControls::Resume);
    // A pause set before this start (or by the command line) still counts.
    hooks_.write([commands = commands_] { return commands.Paused() ? 1 : 0; },
                 [this](int paused) { ShowPaused(paused == 1); });
}

void AlertControls::RowChanged()
{
    const std::optional<ItemRecord> item = hooks_.chosenItem ? hooks_.chosenItem() : std::nullopt;
    muteStore_->setEnabled(item && !item->storeName().empty());
    muteCategory_->setEnabled(item && !item->categoryName().empty());
}

AlertActions AlertControls::Actions()
{
    AlertActions actions;
    actions.addToShoppingList = hooks_.addToShoppingList;
    actions.muteStore = [this](const ItemRecord& item) {
        Mute(AlertMemory::Muted::Store, std::string(item.storeName()));
    };
    actions.snooze = [this] {
        Pause();
    };
    actions.openDealsFolder = hooks_.openDealsFolder;
    return actions;
}

void AlertControls::Mute(AlertMemory::Muted what, const std::string& name)
{
    if (name.empty()) {
        return;
    }
    const QString shown = RecordText(name);
    const bool store = what == AlertMemory::Muted::Store;
    hooks_.write([commands = commands_, what, name] { return commands.Mute(what, name) ? 1 : 0; },
                 [this, shown, store](int) {
                     if (hooks_.tell) {
                         hooks_.tell(store
                                         ? QStringLiteral("No more alerts from the store %1.").arg(shown)
                                         : QStringLiteral("No more alerts from the category %1.").arg(shown));
                     }
                 });
}

void AlertControls::Pause()
{
    hooks_.write([commands = commands_] { return commands.Pause() ? 1 : 0; },
                 [this](int paused) {
                     ShowPaused(paused == 1);
                     if (paused == 1 && hooks_.tell) {
                         hooks_.tell(QStringLiteral("Alerts are paused for 1 hour."));
                     }
                 });
}

void AlertControls::Resume()
{
    hooks_.write([commands = commands_] { return commands.Resume() ? 1 : 0; },
                 [this](int resumed) {
                     if (resumed == 1) {
                         ShowPaused(false);
                         if (hooks_.tell) {
                             hooks_.tell(QStringLiteral("Alerts are on again."));
                         }
                     }
                 });
}

void AlertControls::ShowPaused(bool paused)
{
    tray_.SetAlertsPaused(paused);
    if (paused) {
        pauseEnd_->start();
    } else {
        pauseEnd_->stop();
    }
}

} // namespace tallyhawk
