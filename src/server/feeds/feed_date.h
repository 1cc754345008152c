#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tallyhawk::server
{

// Dates as feeds write them, read as seconds since 1970 UTC. Nothing here reads the local time zone:
// a date without a zone is UTC.
class FeedDate
{
public:
    // "Tue, 10 Jun 2003 04:00:00 GMT": day name optional, two- or four-digit year, seconds optional,
    // zone as +hhmm/-hhmm, UT, GMT, Z, the North American names (EST ... PDT) or a military letter
    // (taken as UTC, as their sign was never agreed).
    static std::optional<std::int64_t> ParseRfc822(std::string_view text);
    // "2003-12-13T18:30:02.25+01:00", also with a space or a small t, seconds left out, or the date
    // alone (as Dublin Core dates may be).
    static std::optional<std::int64_t> ParseRfc3339(std::string_view text);
    // Either form, whichever the text is in: feeds put both forms in both kinds of element.
    static std::optional<std::int64_t> Parse(std::string_view text);
    // Whether an element or member of that (local) name gives the end of an offer: "expires",
    // "expiry", "expiration_date", "valid_until" or "end_date", as deal feeds' extensions name it.
    static bool IsExpiryName(std::string_view name);
    // Seconds since 1970 UTC for a day of the proleptic Gregorian calendar and a time of that day.
    static std::int64_t ToSeconds(std::int64_t year, int month, int day, int hour, int minute, int second);
};

} // namespace tallyhawk::server
