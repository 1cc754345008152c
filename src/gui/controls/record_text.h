#pragma once

#include <QString>

#include <string_view>

namespace tallyhawk
{

// Record bytes as text: UTF-8 when they are valid UTF-8, Windows-1252 otherwise.
QString RecordText(std::string_view bytes);

} // namespace tallyhawk
