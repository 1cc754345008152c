#pragma once

#include <string_view>

namespace tallyhawk::server
{

// One line on the service's log (standard error), whole even when threads write at once:
// "tallyhawk-server: TEXT".
void LogLine(std::string_view text);

} // namespace tallyhawk::server
