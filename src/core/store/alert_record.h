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

} // namespace tallyhawk
