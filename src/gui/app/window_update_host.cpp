#include "gui/app/window_update_host.h"

#include "core/update/update_texts.h"

#include <QMetaObject>
#include <QPointer>
#include <QThread>

#include <optional>
#include <utility>

namespace tallyhawk
{

namespace
{

// The prompt texts carry Windows line ends; a message box wants plain ones.
QString PlainLines(std::string_view text)
{
    QString lines = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    lines.remove(QLatin1Char('\r'));
    return lines;
}

} // namespace

WindowUpdateHost::WindowUpdateHost(Targets targets, QObject* parent)
    : QObject(parent)
    , targets_(std::move(targets))
{ }

WindowUpdateHost::~WindowUpdateHost()
{
    Close();
}

void WindowUpdateHost::Queue(std::function<void()> call)
{
    if (closed_.load()) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, call = std::move(call)] {
            if (!closed_.load()) {
                call();
            }
        },
        Qt::QueuedConnection);
}

void WindowUpdateHost::SetTitle(const std::string& title)
{
    Queue([this, text = QString::fromStdString(title)] {
        if (targets_.setTitle) {
            targets_.setTitle(text);
        }
    });
}

bool WindowUpdateHost::Ask(std::string_view text)
{
    if (!targets_.ask || closed_.load() || QThread::currentThread() == thread()) {
        return false;
    }
    const QString caption = PlainLines(kNewVersionCaption);
    const QString question = PlainLines(text);
    // Shared with the answer, which may come after this wait gave up at Close.
    auto answer = std::make_shared<std::optional<bool>>();
    QMetaObject::invokeMethod(
        this,
        [this, answer, caption, question] {
            // The box may be answered after this host has gone (it outlives the program's end).
            auto answered = [self = QPointer<WindowUpdateHost>(this), answer](bool yes) {
                if (self.isNull()) {
                    return;
                }
                std::lock_guard<std::mutex> lock(self->mutex_);
                *answer = yes && !self->closed_.load();
                self->answered_.notify_all();
            };
            if (closed_.load()) {
                answered(false);
                return;
            }
            targets_.ask(caption, question, answered);
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(mutex_);
    answered_.wait(lock, [&] { return answer->has_value() || closed_.load(); });
    return answer->value_or(false);
}

bool WindowUpdateHost::AskDownloadNewVersion()
{
    return Ask(kNewVersionQuestion);
}

bool WindowUpdateHost::AskExitNow()
{
    return Ask(kExitNowQuestion);
}

void WindowUpdateHost::OpenPage(const std::string& url)
{
    Queue([this, url] {
        if (targets_.openPage) {
            targets_.openPage(url);
        }
    });
}

void WindowUpdateHost::EndProgram(int result)
{
    Queue([this, result] {
        if (targets_.endProgram) {
            targets_.endProgram(result);
        }
    });
}

void WindowUpdateHost::RefreshView(bool rebuildTree)
{
    Queue([this, rebuildTree] {
        if (targets_.refreshView) {
            targets_.refreshView(rebuildTree);
        }
    });
}

void WindowUpdateHost::ServerReached(bool reached)
{
    Queue([this, reached] {
        if (targets_.serverReached) {
            targets_.serverReached(reached);
        }
    });
}

void WindowUpdateHost::StopTimers()
{
    Queue([this] {
        if (targets_.stopTimers) {
            targets_.stopTimers();
        }
    });
}

void WindowUpdateHost::StartTimers(std::chrono::milliseconds download, std::chrono::milliseconds alertQueue)
{
    Queue([this, download, alertQueue] {
        if (targets_.startTimers) {
            targets_.startTimers(download, alertQueue);
        }
    });
}

void WindowUpdateHost::PostAlert(std::unique_ptr<ItemRecord> record)
{
    if (!record) {
        return;
    }
    // Held by the queued call: freed with it when the call is dropped.
    auto held = std::make_shared<std::unique_ptr<ItemRecord>>(std::move(record));
    Queue([this, held] {
        if (targets_.postAlert) {
            targets_.postAlert(std::move(*held));
        }
    });
}

void WindowUpdateHost::Close()
{
    std::lock_guard<std::mutex> lock(mutex_);
    closed_.store(true);
    answered_.notify_all();
}

} // namespace tallyhawk
