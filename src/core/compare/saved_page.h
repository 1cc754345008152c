#pragma once

#include <optional>
#include <string>

namespace tallyhawk
{

// A result page saved to a file, as a fetch would hand it over: at most HttpFetcher::kMaxBody - 1
// bytes. None when the file cannot be read.
std::optional<std::string> ReadSavedPage(const std::string& path);

} // namespace tallyhawk
