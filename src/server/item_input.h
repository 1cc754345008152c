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
    // Seconds since 1970, or a day "YYYY-MM-DD" of the calendar (midnight UTC).
    static std::optional<std::int32_t> Date(std::string_view text);
    // One JSON object: "kind", "title" and "category" required; "store", "date" (either form), "hot"
    // (true, false or a number), "description", "extra" optional; no other names. Texts come cut to what
    // a client keeps. Nothing, with `error` set, when unusable.
    static std::optional<ServerItem> FromJson(std::string_view line, std::string& error);
};

} // namespace tallyhawk::server
