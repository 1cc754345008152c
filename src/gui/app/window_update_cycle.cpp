#include "gui/app/window_update_cycle.h"

#include "core/update/program_session.h"
#include "gui/app/alert_queue.h"
#include "gui/app/window_update_host.h"
#include "gui/controls/message_boxes.h"
#include "gui/folders/folder_runner.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <utility>

namespace tallyhawk
{

WindowUpdateCycle::WindowUpdateCycle(
    ProgramSession& session, FolderRunner& runner, AlertQueue& alerts, Window window, QObject* parent)
    : QObject(parent)
    , session_(session)
    , runner_(runner)
    , alerts_(alerts)
    , viewFilter_(std::move(window.viewFilter))
    , dealsShown_(std::move(window.dealsShown))
    , host_(MakeHost(std::move(window)))
    , downloadTimer_(new QTimer(this))
{
    downloadTimer_->setObjectName(QStringLiteral("downloadTimer"));
    connect(downloadTimer_, &QTimer::timeout, this, [this] {
        // A tick while the last pass still runs is skipped: the passes share one connection.
        if (PassRunner* passes = session_.passes()) {
            passes->TickDownload();
        }
    });
}

WindowUpdateHost* WindowUpdateCycle::MakeHost(Window window)
{
    WindowUpdateHost::Targets targets;
    targets.setTitle = std::move(window.setTitle);
    targets.ask = [](const QString& caption, const QString& text, std::function<void(bool)> answered) {
        // Owned by no window: the prompt comes also while the window is hidden in the tray.
        MessageBoxes::AskLater(
            nullptr, caption, text, [answered = std::move(answered)](QMessageBox::StandardButton button) {
                answered(button == QMessageBox::Yes);
            });
    };
    targets.openPage = std::move(window.openPage);
    targets.endProgram = [exit = std::move(window.exit)](int) {
        exit();
    };
    targets.refreshView = std::move(window.refreshView);
    targets.serverReached = std::move(window.serverReached);
    targets.stopTimers = [this] {
        StopTimers();
    };
    targets.startTimers = [this](std::chrono::milliseconds download, std::chrono::milliseconds alertQueue) {
        StartTimers(download, alertQueue);
    };
    targets.postAlert = [this](std::unique_ptr<ItemRecord> record) {
        alerts_.Post(std::move(record));
    };
    auto* host = new WindowUpdateHost(std::move(targets), this);
    host->setObjectName(QStringLiteral("updateHost"));
    return host;
}

void WindowUpdateCycle::RunWeeklyUpkeep()
{
    // The upkeep records in the session's context whether the site lists are due; the passes read it.
    runner_.Behind([this] {
        session_.RunWeeklyUpkeep();
        return std::function<void()>([] {});
    });
}

void WindowUpdateCycle::LoadStoresAfterPaint(QWidget* page)
{
    pendingPage_ = page;
    page->installEventFilter(this);
    QTimer::singleShot(1000, this, [this] { LoadStoresAndStart(false); });
}

bool WindowUpdateCycle::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == pendingPage_ && event->type() == QEvent::Paint) {
        pendingPage_->removeEventFilter(this);
        pendingPage_ = nullptr;
        QTimer::singleShot(0, this, [this] { LoadStoresAndStart(false); });
    }
    return QObject::eventFilter(watched, event);
}

void WindowUpdateCycle::LoadStoresAndStart(bool startedHidden)
{
    if (stopped_ || loadsPosted_) {
        return;
    }
    loadsPosted_ = true;
    if (pendingPage_ != nullptr) {
        pendingPage_->removeEventFilter(this);
        pendingPage_ = nullptr;
    }
    runner_.Behind([this, filter = viewFilter_(), dealsShown = dealsShown_(), startedHidden] {
        if (!dealsShown) {
            session_.deals().Load(filter);
        }
        session_.topics().Load(filter);
        return [this, startedHidden] {
            StartPasses(startedHidden);
        };
    });
}

void WindowUpdateCycle::StartPasses(bool startedHidden)
{
    // The weekly upkeep recorded in the context whether the site lists are due.
    UpdateContext& context = session_.context();
    context.startedHidden = startedHidden;
    if (downloadInterval_) {
        context.downloadInterval = *downloadInterval_;
    }
    session_.StartPasses(*host_);
}

void WindowUpdateCycle::StartTimers(std::chrono::milliseconds download, std::chrono::milliseconds alertQueue)
{
    if (stopped_) {
        return;
    }
    downloadTimer_->start(download);
    alerts_.StartTimer(alertQueue);
}

void WindowUpdateCycle::StopTimers()
{
    downloadTimer_->stop();
    alerts_.StopTimer();
}

void WindowUpdateCycle::Stop()
{
    if (stopped_) {
        return;
    }
    stopped_ = true;
    StopTimers();
    alerts_.Clear();
    alerts_.SetOpener({});
    host_->Close();
    session_.Stop();
}

} // namespace tallyhawk
