#pragma once

#include "cli/command_line.h"
#include "core/store/item_filter.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tallyhawk::cli
{

// The view filter of a list command from the time options (see time_filter_options.h), --store ID,
// --category ID and --search WORDS; a usage error leaves `error` set. Without a time option the
// filter covers `defaultSpan` ending tonight when given, else every date.
std::optional<ItemFilter> FilterFromOptions(const CommandLine& commandLine,
                                            std::string& error,
                                            std::optional<std::int32_t> defaultSpan = std::nullopt);

} // namespace tallyhawk::cli
