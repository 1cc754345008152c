#pragma once

#include "server/server_item.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tallyhawk::server
{

// Items as people write them, on the command line and in import files.
class ItemInput
{
public:
    // "coupon", "deal", "topic" (or 1, 2, 3).
    static std::optional<std::int32_t> Kind(std::string_view word);
    // Seconds since 1970, or a day "YYYY-MM-DD" (midnight UTC).
    static std::optional<std::int32_t> Date(std::string_view text);
    // One JSON object: "kind" and "title" required; "store", "category", "date" (either form), "hot"
    // (true or a number), "description", "extra" optional. Nothing, with `error` set, when unusable.
    static std::optional<ServerItem> FromJson(std::string_view line, std::string& error);
};

} // namespace tallyhawk::server
