#pragma once

#include "core/store/item_filter.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

class QTimer;
class QWidget;

namespace tallyhawk
{

class AlertQueue;
class FolderRunner;
class ProgramSession;
class WindowUpdateHost;

// The window's part of the start and the update cycle: the weekly upkeep and both stores' loads on the
// folders' worker, then the session's passes with a host that carries their calls onto the window,
// and the download and alert timers they start and stop.
class WindowUpdateCycle : public QObject
{
    Q_OBJECT

public:
    // What the passes' calls and the loads need of the window.
    struct Window
    {
        std::function<void(const QString& title)> setTitle;
        std::function<void(const std::string& url)> openPage;
        std::function<void()> exit;
        std::function<void(bool rebuildTree)> refreshView;
        // After each pass: whether the deal server answered.
        std::function<void(bool reached)> serverReached;
        // The view's filter, which the stores' loads use.
        std::function<ItemFilter()> viewFilter;
        // The deals' view is loading already: its load went to the worker before.
        std::function<bool()> dealsShown;
    };

    WindowUpdateCycle(
        ProgramSession& session, FolderRunner& runner, AlertQueue& alerts, Window window, QObject* parent);

    // The download timer's period the cycle starts with (180 s unless a test sets another).
    void SetDownloadInterval(std::chrono::milliseconds interval) { downloadInterval_ = interval; }
    // The weekly upkeep on the worker, ahead of every load posted after it, so that no view holds
    // records the archive dropped.
    void RunWeeklyUpkeep();
    // Loads both stores on the worker, then starts the passes (once). The cycle asks only for ids
    // above what a load has seen, so the loads come first.
    void LoadStoresAndStart(bool startedHidden);
    // The same once `page` was first painted, so that a shown page is on screen before the loads of
    // 100,000 items; should it never be painted (a window the desktop keeps unmapped), after a second.
    void LoadStoresAfterPaint(QWidget* page);
    // Ends the cycle in order: the timers, the waiting alerts (their popups go while the settings
    // they read still exist), the host (a pass waiting for a prompt gets No, its late calls are
    // dropped), then the passes, stopped at a safe point and joined. Runs once.
    void Stop();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WindowUpdateHost* MakeHost(Window window);
    void StartPasses(bool startedHidden);
    void StartTimers(std::chrono::milliseconds download, std::chrono::milliseconds alertQueue);
    void StopTimers();

    ProgramSession& session_;
    FolderRunner& runner_;
    AlertQueue& alerts_;
    std::function<ItemFilter()> viewFilter_;
    std::function<bool()> dealsShown_;
    WindowUpdateHost* host_;
    QTimer* downloadTimer_;
    QWidget* pendingPage_ = nullptr;
    std::optional<std::chrono::milliseconds> downloadInterval_;
    bool loadsPosted_ = false;
    bool stopped_ = false;
};

} // namespace tallyhawk
