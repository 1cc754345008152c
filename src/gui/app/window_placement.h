#pragma once

#include "gui/app/layout_store.h"

#include <QString>

#include <optional>
#include <string>

class QEvent;
class QMainWindow;
class QSplitter;

namespace tallyhawk
{

class ItemListView;
class TrayController;

// Where the main window stands and how it goes out of sight: the placement, list columns and folder
// pane width saved in the layout file, and the tray that a closed or minimized window hides in (where
// no tray exists it is minimized instead).
class WindowPlacement
{
public:
    WindowPlacement(const QString& layoutFile,
                    QMainWindow& window,
                    TrayController& tray,
                    ItemListView& list,
                    QSplitter& panes);

    // The user's layout file, or the one beside a settings file of its own (tests, another profile).
    static QString LayoutFileFor(const std::optional<std::string>& settingsFile);

    // The list columns and the folder pane's width as they were saved.
    void RestoreSizes();
    // Shown with the saved placement, or kept out of sight until the first ShowFromTray.
    void ShowAtStart(bool startHidden);
    // Shown and raised; after a hidden start the saved placement comes with the first show.
    void ShowFromTray();
    // Saves the layout and hides the window in the tray, or minimizes it.
    void PutAway();
    // After the window's state changed: a minimized window saves its layout and goes to the tray.
    void StateChanged();

private:
    void Save();
    void RestorePlacement();

    LayoutStore layout_;
    QMainWindow& window_;
    TrayController& tray_;
    ItemListView& list_;
    QSplitter& panes_;
    // Until the saved placement was applied the window stands where no one put it; saving that would
    // lose the one in the file.
    bool placementRestored_ = false;
};

} // namespace tallyhawk
