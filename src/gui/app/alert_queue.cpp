#include "gui/app/alert_queue.h"

#include <new>
#include <utility>

namespace tallyhawk
{

AlertQueue::AlertQueue(Opener opener, QObject* parent)
    : QObject(parent)
    , opener_(std::move(opener))
{
    connect(&timer_, &QTimer::timeout, this, &AlertQueue::Drain);
}

AlertQueue::~AlertQueue() = default;

bool AlertQueue::Full() const
{
    return counters_.maxAlerts != 0 && counters_.openAlerts >= counters_.maxAlerts;
}

void AlertQueue::Post(std::unique_ptr<ItemRecord> record)
{
    if (!record) {
        return;
    }
    if (Full()) {
        queue_.push_back(std::move(record));
        return;
    }
    Open(std::move(record));
}

void AlertQueue::Drain()
{
    // A queued alert waits for the screen to clear entirely, so popups come in whole stacks.
    if (counters_.openAlerts != 0 || queue_.empty()) {
        return;
    }
    while (!queue_.empty() && !Full()) {
        std::unique_ptr<ItemRecord> record = std::move(queue_.front());
        queue_.pop_front();
        Open(std::move(record));
    }
}

void AlertQueue::Open(std::unique_ptr<ItemRecord> record)
{
    if (!opener_) {
        return;
    }
    try {
        opener_(std::move(record), counters_);
    } catch (const std::bad_alloc&) {
        // A popup that cannot be made drops its alert; the others still come.
    }
}

void AlertQueue::StartTimer(std::chrono::milliseconds interval)
{
    timer_.start(interval);
}

void AlertQueue::StopTimer()
{
    timer_.stop();
}

void AlertQueue::Clear()
{
    queue_.clear();
}

} // namespace tallyhawk
