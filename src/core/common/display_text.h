#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tallyhawk
{

// Record texts are bytes. They are shown as UTF-8 when they are valid UTF-8 and read as
// Windows-1252 otherwise; the result is always valid UTF-8.
std::string DisplayText(std::string_view bytes);

bool IsValidUtf8(std::string_view bytes);

// The first `limit` bytes of a text, shortened to the last whole character when the text is valid UTF-8
// (so a cut never leaves half a character), byte-exact otherwise.
std::string_view CutText(std::string_view bytes, std::size_t limit);

} // namespace tallyhawk
