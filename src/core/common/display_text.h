#pragma once

#include <string>
#include <string_view>

namespace tallyhawk
{

// Record texts are bytes. They are shown as UTF-8 when they are valid UTF-8 and read as
// Windows-1252 otherwise; the result is always valid UTF-8.
std::string DisplayText(std::string_view bytes);

bool IsValidUtf8(std::string_view bytes);

} // namespace tallyhawk
