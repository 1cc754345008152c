#include "gui/app/session_end.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <utility>

namespace tallyhawk
{

namespace
{

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// A signal handler may only write: it wakes the window thread through this pipe.
int signalPipe[2] = {-1, -1};

void WriteSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

SessionEnd::SessionEnd(std::function<void()> end, QObject* parent)
    : QObject(parent)
    , end_(std::move(end))
{
    // The session ending sends the application a quit request, which would otherwise only close
    // (hide) the window.
    QCoreApplication::instance()->installEventFilter(this);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, [](QSessionManager& manager) {
            manager.setRestartHint(QSessionManager::RestartNever);
        });
    }
    CatchSignals();
}

SessionEnd::~SessionEnd()
{
    QCoreApplication::instance()->removeEventFilter(this);
    if (signalPipe[0] < 0) {
        return;
    }
    // Back to the default: a signal from now on ends the process as usual.
    for (int number : kSignals) {
        ::signal(number, SIG_DFL);
    }
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

bool SessionEnd::eventFilter(QObject* watched, QEvent* event)
{
    // The program's own quit comes this way too, from inside end_: only the first request ends it.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit && end_ && !quitting_) {
        quitting_ = true;
        end_();
    }
    return QObject::eventFilter(watched, event);
}

void SessionEnd::CatchSignals()
{
    if (signalPipe[0] >= 0 || ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(signalPipe[0], &byte, 1) > 0) {
        }
        if (end_) {
            end_();
        }
    });
    struct sigaction action = {};
    action.sa_handler = WriteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kSignals) {
        ::sigaction(number, &action, nullptr);
    }
}

} // namespace tallyhawk
