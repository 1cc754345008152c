#include "gui/app/window_placement.h"

#include "gui/app/item_list_view.h"
#include "gui/app/tray_controller.h"

#include <QMainWindow>
#include <QSplitter>
#include <QTimer>

#include <algorithm>
#include <filesystem>

namespace tallyhawk
{

WindowPlacement::WindowPlacement(const QString& layoutFile,
                                 QMainWindow& window,
                                 TrayController& tray,
                                 ItemListView& list,
                                 QSplitter& panes)
    : layout_(layoutFile)
    , window_(window)
    , tray_(tray)
    , list_(list)
    , panes_(panes)
{ }

QString WindowPlacement::LayoutFileFor(const std::optional<std::string>& settingsFile)
{
    if (!settingsFile) {
        return LayoutStore::DefaultPath();
    }
    return QString::fromStdString(
        (std::filesystem::path(*settingsFile).parent_path() / "tallyhawk-layout.ini").string());
}

void WindowPlacement::RestoreSizes()
{
    list_.UseColumnWidths(layout_.SavedColumns());
    if (const int width = layout_.SavedFolderPaneWidth(); width > panes_.widget(0)->minimumWidth()) {
        panes_.setSizes({width, std::max(1, panes_.width() - width)});
    }
}

void WindowPlacement::RestorePlacement()
{
    if (!placementRestored_) {
        placementRestored_ = true;
        layout_.RestorePlacement(window_);
    }
}

void WindowPlacement::ShowAtStart(bool startHidden)
{
    if (!startHidden) {
        RestorePlacement();
        window_.show();
    } else if (!tray_.available()) {
        window_.showMinimized();
    }
}

void WindowPlacement::ShowFromTray()
{
    RestorePlacement();
    if (window_.isMinimized()) {
        window_.showNormal();
    } else {
        window_.show();
    }
    window_.raise();
    window_.activateWindow();
}

void WindowPlacement::Save()
{
    if (placementRestored_) {
        layout_.SavePlacement(window_);
    }
    list_.SaveColumns(layout_);
    layout_.SaveFolderPaneWidth(panes_.sizes().value(0));
}

void WindowPlacement::PutAway()
{
    Save();
    if (tray_.available()) {
        window_.hide();
    } else if (!window_.isMinimized()) {
        window_.showMinimized();
    }
}

void WindowPlacement::StateChanged()
{
    if (!window_.isMinimized()) {
        return;
    }
    if (window_.isVisible()) {
        Save();
    }
    if (tray_.available()) {
        // Hiding inside the state change confuses some window managers; do it once it settled.
        QTimer::singleShot(0, &window_, [window = &window_] {
            if (window->isMinimized()) {
                window->hide();
            }
        });
    }
}

} // namespace tallyhawk
