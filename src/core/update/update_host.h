#pragma once

#include "core/store/alert_record.h"

#include <chrono>
#include <string>

namespace tallyhawk
{

struct SiteListsRefresh;

// What the update passes need of the program that runs them: the desktop program implements it with
// queued calls onto its window thread, the command line with plain output. Every call comes from the
// pass's own thread; the prompts wait for the answer.
class UpdateHost : public AlertSink
{
public:
    // The window title; the tray tip follows it.
    virtual void SetTitle(const std::string& title) = 0;
    // The two new-version prompts (caption kNewVersionCaption, question icon, Yes and No). True for Yes.
    virtual bool AskDownloadNewVersion() = 0;
    virtual bool AskExitNow() = 0;
    // Opens a page of the site in a new browser window.
    virtual void OpenPage(const std::string& url) = 0;
    // Ends the program with the dialog result (-2 for the exit for a new version).
    virtual void EndProgram(int result) = 0;
    // Reloads the current view on the window thread.
    virtual void RefreshView(bool rebuildTree) = 0;
    // The download timer (a DownloadPass on each tick) and the alert queue timer.
    virtual void StopTimers() = 0;
    virtual void StartTimers(std::chrono::milliseconds download, std::chrono::milliseconds alertQueue) = 0;
    // What a site list refresh did (nothing to show by default).
    virtual void ListsRefreshed(const SiteListsRefresh&) { }
    // After each pass that ran to its end: whether the deal server answered any of its requests
    // (nothing to show by default).
    virtual void ServerReached(bool /*reached*/) { }
};

} // namespace tallyhawk
