#pragma once

#include "core/store/item_record.h"
#include "core/update/update_host.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace tallyhawk
{

// The update passes' host in the desktop program. The passes call it from their own thread; every
// call is carried out on the window thread (the thread this object lives on) by a queued call. The
// two version prompts open their question without blocking the window thread, and the pass waits for
// the answer, but never past Close: a pass waiting there when the program ends gets No and reaches its
// stop at once. A prompt asked from the window thread itself could never be answered while it waited,
// so it gets No.
class WindowUpdateHost : public QObject, public UpdateHost
{
    Q_OBJECT

public:
    // What each call does once it is on the window thread.
    struct Targets
    {
        std::function<void(const QString& title)> setTitle;
        // Opens a question with Yes and No under the caption "New Tallyhawk version" and returns at once;
        // `answered` gets true for Yes once the user has chosen, on the window thread.
        std::function<void(const QString& caption, const QString& text, std::function<void(bool)> answered)>
            ask;
        std::function<void(const std::string& url)> openPage;
        std::function<void(int result)> endProgram;
        std::function<void(bool rebuildTree)> refreshView;
        std::function<void(bool reached)> serverReached;
        std::function<void()> stopTimers;
        std::function<void(std::chrono::milliseconds download, std::chrono::milliseconds alertQueue)>
            startTimers;
        std::function<void(std::unique_ptr<ItemRecord> record)> postAlert;
    };

    explicit WindowUpdateHost(Targets targets, QObject* parent = nullptr);
    ~WindowUpdateHost() override;

    void SetTitle(const std::string& title) override;
    bool AskDownloadNewVersion() override;
    bool AskExitNow() override;
    void OpenPage(const std::string& url) override;
    void EndProgram(int result) override;
    void RefreshView(bool rebuildTree) override;
    void ServerReached(bool reached) override;
    void StopTimers() override;
    void StartTimers(std::chrono::milliseconds download, std::chrono::milliseconds alertQueue) override;
    void PostAlert(std::unique_ptr<ItemRecord> record) override;

    // From now on calls are dropped and waiting prompts answer No. Window thread, before the passes
    // are stopped and joined.
    void Close();
    bool closed() const { return closed_.load(); }

private:
    // Runs `call` on the window thread unless the host was closed by then.
    void Queue(std::function<void()> call);
    bool Ask(std::string_view text);

    Targets targets_;
    std::atomic<bool> closed_{false};
    std::mutex mutex_;
    std::condition_variable answered_;
};

} // namespace tallyhawk
