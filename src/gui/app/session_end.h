#pragma once

#include <QObject>

#include <functional>

namespace tallyhawk
{

// Ends the program the clean way (as Exit does: passes stopped at a safe point and joined, files
// whole) when the system rather than the user asks: the session's end (the platform's quit request),
// SIGTERM, SIGHUP and SIGINT. Tells the session manager not to restore the program, since its
// autostart entry starts it at login. One per process.
class SessionEnd : public QObject
{
    Q_OBJECT

public:
    explicit SessionEnd(std::function<void()> end, QObject* parent = nullptr);
    ~SessionEnd() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CatchSignals();

    std::function<void()> end_;
    bool quitting_ = false;
};

} // namespace tallyhawk
