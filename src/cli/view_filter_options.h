#pragma once

#include "cli/command_line.h"
#include "core/store/item_filter.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tallyhawk::cli
{

// The view filter of a list command from --days N or --from/--to YYYY-MM-DD (local day boundaries),
// --store ID, --category ID and --search WORDS; a usage error leaves `error` set. Without a time
// option the filter has no dates.
std::optional<ItemFilter> FilterFromOptions(const CommandLine& commandLine, std::string& error);

// Whether the command line gives --days, --from or --to.
bool HasTimeOptions(const CommandLine& commandLine);

// YYYY-MM-DD into its three numbers; nothing when the text is not of that shape.
std::optional<std::array<int, 3>> ParseDate(const std::string& text);

// A whole decimal number that fits 32 bits.
std::optional<std::int32_t> ParseInt32(const std::string& text);

} // namespace tallyhawk::cli
