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

// The characters DisplayText shows for `bytes`: UTF-8 characters when they are valid UTF-8, one per
// byte otherwise.
std::size_t CharacterCount(std::string_view bytes);

// DisplayText for a terminal: every C0 control character, DEL and every C1 control character is shown
// as a visible escape ("\x1B", "\u009B"), so bytes from the network or a file can never drive the
// terminal. With `keepNewlines` a line feed stays, for texts of several lines.
std::string TerminalText(std::string_view bytes, bool keepNewlines = false);

} // namespace tallyhawk
