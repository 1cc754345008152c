#pragma once

#include "core/store/item_record.h"
#include "gui/alerts/alert_counters.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>

namespace tallyhawk
{

// The alerts that reached the window thread: each opens a popup at once while the screen has room,
// else waits in arrival order until every popup has closed and the queue's timer finds room again.
// Window thread only; the counters are the popups' (they count themselves in and out).
class AlertQueue : public QObject
{
    Q_OBJECT

public:
    // Opens the popup of one alert; the popup owns the record and keeps the counters up to date.
    using Opener = std::function<void(std::unique_ptr<ItemRecord> record, AlertCounters& counters)>;

    explicit AlertQueue(Opener opener, QObject* parent = nullptr);
    ~AlertQueue() override;

    void SetOpener(Opener opener) { opener_ = std::move(opener); }

    // An alert that arrived: opened now, or queued when `maxAlerts` popups are open. No record: nothing.
    void Post(std::unique_ptr<ItemRecord> record);
    // A tick of the queue's timer: only when no popup is open, opens the oldest waiting alerts while
    // they fit.
    void Drain();

    void StartTimer(std::chrono::milliseconds interval);
    void StopTimer();
    bool timerActive() const { return timer_.isActive(); }
    // Drops every waiting alert.
    void Clear();

    std::size_t waiting() const { return queue_.size(); }
    AlertCounters& counters() { return counters_; }

private:
    bool Full() const;
    void Open(std::unique_ptr<ItemRecord> record);

    Opener opener_;
    AlertCounters counters_;
    std::deque<std::unique_ptr<ItemRecord>> queue_;
    QTimer timer_;
};

} // namespace tallyhawk
