#pragma once

#include "core/store/item_record.h"

#include <cstdint>
#include <memory>

namespace tallyhawk
{

// Where alerts go: the main window (or the command line) implements it. Alerts cross threads only
// through it; the receiver owns each record from the call on and takes it over on its own thread.
class AlertSink
{
public:
    virtual ~AlertSink() = default;
    virtual void PostAlert(std::unique_ptr<ItemRecord> record) = 0;
};

// An item alert: the item's values as downloaded (description already cleaned), arrived `now`.
std::unique_ptr<ItemRecord> MakeItemAlert(const ItemValues& values, std::int32_t now);

// The update cycle's summary notice: kind 99, id 1, "Tallyhawk Auto Update", and the count of new items.
std::unique_ptr<ItemRecord> MakeProgramNotice(int newItems);

// The summary of the alerts held during quiet hours or a pause: kind 98, id 1, the title "While you were
// away" and a description such as "While you were away: 14 new deals, 2 new topics" (a count of 0 left
// out). Its popup opens the Coupons & Deals folder.
std::unique_ptr<ItemRecord> MakeAwaySummary(int deals, int topics);

} // namespace tallyhawk
