#pragma once

#include "core/shopping/shopping_record.h"

#include <string>

namespace tallyhawk
{

// "Every 2 Weeks on Wednesday", "One Time", ...: a record's schedule as the product editor names it,
// for the command line and the list's cards alike.
std::string ScheduleText(const ShoppingRecord& record);

} // namespace tallyhawk
