#pragma once

#include "cli/command_line.h"
#include "core/store/item_filter.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tallyhawk::cli
{

// YYYY-MM-DD into its three numbers; nothing when the text is not of that shape.
std::optional<std::array<int, 3>> ParseDate(const std::string& text);

// Sets the filter's `from` and `to` to one of TimeSpan's spans ending tonight (kToday: today alone).
void ApplySpan(ItemFilter& filter, std::int32_t span);

// The time options of the list commands: --days N, or --from and --to YYYY-MM-DD.
void AddTimeOptions(CommandLine& commandLine, const std::string& things);

// Sets the filter's `from` and `to` from the time options. Without any of them, `defaultSpan` (one of
// TimeSpan's spans, ending tonight) applies when given. False with `error` set on bad usage.
bool ApplyTimeOptions(const CommandLine& commandLine,
                      ItemFilter& filter,
                      std::optional<std::int32_t> defaultSpan,
                      std::string& error);

} // namespace tallyhawk::cli
